#pragma once
// A folder reached from a trusted base one name at a time and never through a symbolic
// link, so that whatever is written in it stays below the base. One object per thread.

#include <string_view>

namespace vesk::fs {

class ConfinedFolder {
public:
    enum class Result { Ok, Refused, Failed };

    ConfinedFolder() = default;
    ConfinedFolder(ConfinedFolder&& other) noexcept;
    ConfinedFolder& operator=(ConfinedFolder&& other) noexcept;
    ConfinedFolder(const ConfinedFolder&) = delete;
    ConfinedFolder& operator=(const ConfinedFolder&) = delete;
    ~ConfinedFolder();

    // Opens base (links in its own path are followed: it is trusted), then each name of the
    // "/"-separated relative path below it, creating the missing ones when create is set.
    // Refused when a name is "..", or is a link or anything else but a folder.
    static Result Open(std::wstring_view base, std::wstring_view relative, bool create,
                       ConfinedFolder& out);

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    void Close();

private:
    int m_fd = -1;
};

}  // namespace vesk::fs
