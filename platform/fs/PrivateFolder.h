#pragma once
// A folder only its user may enter (mode 0700), made anew in the place of whatever was there,
// and files written into it only as new files: a program run from it is the one written
// there, whoever else uses the machine. One object per thread.

#include <string_view>

namespace vesk::fs {

class PrivateFolder {
public:
    PrivateFolder() = default;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder();

    // Removes what is at path (a link itself, never what it leads to; a folder with all it
    // holds), then makes the folder, which must not be there again by then. Its parent must
    // exist. False when it could not be made fresh.
    static bool MakeFresh(std::wstring_view path, PrivateFolder& out);

    // A new file of that single name holding exactly bytes, made exclusively and never
    // through a link, which only its owner may read and write (and run, when executable).
    // False, and nothing left behind, when anything stood there or a write failed.
    bool WriteNewFile(std::wstring_view name, std::string_view bytes, bool executable);

private:
    void Close();

    int m_fd = -1;
};

}  // namespace vesk::fs
