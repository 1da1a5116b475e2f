#include "DiskTokenFile.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "ServiceRegistration.h"
#include "fs/ConfinedFolder.h"
#include "fs/FolderEntry.h"
#include "fs/Paths.h"
#include "fs/ReplacementFile.h"
#include "text/Utf.h"

namespace vesk::tsp {
namespace {

// The service's own installation first: it may lie inside the local application data.
std::vector<std::wstring> TrustedFolders() {
    std::vector<std::wstring> folders;
    const std::wstring program = fs::WithTrailingSlash(ReadServiceRegistration().folder);
    if (program.starts_with(L'/')) folders.push_back(program);
    const auto local = fs::LocalAppDataFolder();
    if (local && local->starts_with(L'/')) folders.push_back(fs::WithTrailingSlash(*local));
    return folders;
}

bool IsFileName(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L"..";
}

// What may stand where the token goes: nothing, or a regular file that can only be an
// earlier token. A program, above all the service's own, is never written over.
DiskTokenWrite CheckTarget(const fs::FolderEntry& entry) {
    using Kind = fs::FolderEntry::Kind;
    if (entry.kind == Kind::Absent) return DiskTokenWrite::Written;
    if (entry.kind == Kind::Link) return DiskTokenWrite::Refused;
    if (entry.kind != Kind::File) return DiskTokenWrite::Failed;
    if (entry.executable || entry.size > kDiskTokenLimit ||
        fs::IsSameFile(entry, ServiceProgramIn(ReadServiceRegistration().folder)))
        return DiskTokenWrite::Refused;
    return DiskTokenWrite::Written;
}

// The file's folder is reached from base one name at a time, never through a link, so
// the file lands below base or nowhere.
DiskTokenWrite WriteBelow(const std::wstring& base, const std::wstring& path,
                          const std::string& bytes) {
    const std::wstring_view relative = std::wstring_view(path).substr(base.size());
    const std::size_t slash = relative.rfind(L'/');
    const std::wstring_view folderPart =
        slash == std::wstring_view::npos ? std::wstring_view() : relative.substr(0, slash);
    const std::wstring_view name =
        slash == std::wstring_view::npos ? relative : relative.substr(slash + 1);
    if (!IsFileName(name)) return DiskTokenWrite::Refused;
    fs::ConfinedFolder folder;
    switch (fs::ConfinedFolder::Open(base, folderPart, false, folder)) {
        case fs::ConfinedFolder::Result::Ok:
            break;
        case fs::ConfinedFolder::Result::Refused:
            return DiskTokenWrite::Refused;
        case fs::ConfinedFolder::Result::Failed:
            return DiskTokenWrite::Failed;
    }
    const fs::FolderEntry entry = fs::InspectEntry(folder, name);
    if (const DiskTokenWrite allowed = CheckTarget(entry); allowed != DiskTokenWrite::Written)
        return allowed;

    // Written beside and renamed into place: whatever appears there meanwhile is replaced,
    // never followed or written into.
    fs::ReplacementFile file;
    if (fs::ReplacementFile::Create(folder, name, false, file) != fs::ReplacementFile::Result::Ok ||
        !file.Write(bytes.data(), bytes.size()))
        return DiskTokenWrite::Failed;
    const auto now = std::chrono::system_clock::now();
    if (!file.Commit(false, now, now)) return DiskTokenWrite::Failed;
    // The service may run as another user; a file it cannot read fails only the validation.
    // Never a file we did not make: its owner chose who may read it.
    if (entry.kind == fs::FolderEntry::Kind::Absent) fs::GrantEveryoneReadWrite(folder, name);
    return DiskTokenWrite::Written;
}

}  // namespace

DiskTokenWrite WriteDiskTokenFile(const TokenInfo& token) {
    const std::string bytes = text::WideToUtf8(token.diskToken);
    if (bytes.size() > kDiskTokenLimit || token.filePath.empty()) return DiskTokenWrite::Failed;
    for (const std::wstring& base : TrustedFolders()) {
        if (token.filePath.size() <= base.size() || !token.filePath.starts_with(base)) continue;
        const DiskTokenWrite written = WriteBelow(base, token.filePath, bytes);
        if (written != DiskTokenWrite::Refused) return written;
    }
    return DiskTokenWrite::Refused;
}

}  // namespace vesk::tsp
