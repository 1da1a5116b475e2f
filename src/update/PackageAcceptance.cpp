#include "PackageAcceptance.h"

#include "PackageChecksum.h"
#include "UpdateLog.h"
#include "fs/Files.h"

namespace {

constexpr wchar_t kTooLargeLine[] = L"Package %s is larger than the manifest says%s";
constexpr wchar_t kDiffersLine[] = L"Package %s does not match its %s%s";
constexpr wchar_t kUnreadableLine[] = L"Package %s cannot be read as a plain file%s";

}  // namespace

bool AcceptDownloadedPackage(UpdateState& state, const UpdatePackage& package,
                             const wchar_t* lineEnd) {
    const std::wstring local = state.LocalPathOf(package);
    CheckedPackage checked = CheckDownloadedPackage(package, local);
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
    vesk::fs::DeleteFile(local);
    return false;
}

void LogPackageTooLarge(const UpdatePackage& package, const wchar_t* lineEnd) {
    WriteUpdateLog(kTooLargeLine, package.name, lineEnd);
}
