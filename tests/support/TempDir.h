#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.

#include <filesystem>
#include <string>
#include <string_view>

namespace vesk::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder as a wide path ending with "/", as the platform layer hands folders out.
    std::wstring wide() const;
    // A path inside the folder.
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vesk::test
