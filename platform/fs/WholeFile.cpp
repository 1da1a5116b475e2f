#include "fs/WholeFile.h"

#include <chrono>
#include <string>

#include "fs/ConfinedFolder.h"
#include "fs/Paths.h"

namespace vesk::fs {

bool WriteWholeFile(std::wstring_view path, std::string_view bytes, bool executable,
                    ReplacementFile::Durability durability) {
    try {
        const size_t slash = path.rfind(L'/');
        const std::wstring folder = slash == std::wstring_view::npos
                                        ? CurrentDirectory()
                                        : std::wstring(path.substr(0, slash + 1));
        const std::wstring_view name =
            slash == std::wstring_view::npos ? path : path.substr(slash + 1);
        ConfinedFolder where;
        if (ConfinedFolder::Open(folder, L"", false, where) != ConfinedFolder::Result::Ok)
            return false;
        ReplacementFile file;
        if (ReplacementFile::Create(where, name, executable, file) != ReplacementFile::Result::Ok ||
            !file.Write(bytes.data(), bytes.size()))
            return false;
        const auto now = std::chrono::system_clock::now();
        return file.Commit(false, now, now, durability);
    } catch (...) {
        return false;
    }
}

}  // namespace vesk::fs
