#include "PackageAcceptance.h"

#include "DownloadPart.h"
#include "PackageChecksum.h"
#include "UpdateLog.h"
#include "fs/Files.h"

namespace {

constexpr wchar_t kTooLargeLine[] = L"Package %s is larger than the manifest says%s";
constexpr wchar_t kDiffersLine[] = L"Package %s does not match its %s%s";
constexpr wchar_t kUnreadableLine[] = L"Package %s cannot be read as a plain file%s";
constexpr wchar_t kNotRenamedLine[] = L"Package %s cannot be moved to its name%s";

// Holds a package that passed under its local path, or logs why it did not.
bool TakeChecked(UpdateState& state, const UpdatePackage& package, CheckedPackage checked,
                 const wchar_t* lineEnd) {
    const std::wstring local = state.LocalPathOf(package);
    switch (checked.result) {
        case PackageCheck::Matches:
            state.checkedPackages[local] = std::move(checked.file);
            return true;
        case PackageCheck::TooLarge:
            LogPackageTooLarge(package, lineEnd);
            break;
        case PackageCheck::Differs:
            WriteUpdateLog(kDiffersLine, package.name, PackageChecksumName(package), lineEnd);
            break;
        case PackageCheck::Unreadable:
        default:
            WriteUpdateLog(kUnreadableLine, package.name, lineEnd);
            break;
    }
    state.checkedPackages.erase(local);
    return false;
}

}  // namespace

bool AcceptDownloadedPackage(UpdateState& state, const UpdatePackage& package,
                             const wchar_t* lineEnd) {
    const std::wstring local = state.LocalPathOf(package);
    if (TakeChecked(state, package, CheckDownloadedPackage(package, local), lineEnd)) return true;
    vesk::fs::DeleteFile(local);
    return false;
}

bool AcceptDownloadedPart(UpdateState& state, const UpdatePackage& package,
                          const wchar_t* lineEnd) {
    const std::wstring part = state.PartPathOf(package);
    CheckedPackage checked = CheckDownloadedPackage(package, part);
    // The held descriptor still reads the checked bytes after the rename.
    const bool renamed = checked.result == PackageCheck::Matches &&
                         vesk::fs::RenameFile(part, state.LocalPathOf(package));
    vesk::fs::DeleteFile(DownloadPart::ValidatorPath(part));
    if (checked.result == PackageCheck::Matches && !renamed) {
        WriteUpdateLog(kNotRenamedLine, package.name, lineEnd);
        checked = {};
    }
    if (TakeChecked(state, package, std::move(checked), lineEnd)) return true;
    vesk::fs::DeleteFile(part);
    return false;
}

void LogPackageTooLarge(const UpdatePackage& package, const wchar_t* lineEnd) {
    WriteUpdateLog(kTooLargeLine, package.name, lineEnd);
}
