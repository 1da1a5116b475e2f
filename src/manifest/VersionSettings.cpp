#include "VersionSettings.h"

#include "AppFiles.h"
#include "VersionManifest.h"
#include "fs/Files.h"
#include "profile/ProfileFile.h"

namespace {

constexpr wchar_t kVersionFile[] = L"version.ini";
constexpr wchar_t kVersionSection[] = L"versioninfo";
constexpr wchar_t kVersionKey[] = L"version";
constexpr wchar_t kUrlKey[] = L"url";
constexpr wchar_t kServerSection[] = L"VeskVersionURL";
constexpr wchar_t kServerUrlKey[] = L"URL";
constexpr wchar_t kUpdateAddressKey[] = L"UpdateAddress";
constexpr wchar_t kDirectDownloadKey[] = L"DirectDownload";
constexpr wchar_t kPartnerNameKey[] = L"PartnerName";

// Buffer sizes of the reads, terminator included.
constexpr size_t kVersionChars = kMaxVersionIdChars + 1;
constexpr size_t kUrlChars = 512;
constexpr size_t kAddressChars = 1024;
constexpr size_t kPartnerChars = 128;

}  // namespace

VersionSettings ReadVersionSettings(const std::wstring& programFolder) {
    namespace profile = vesk::profile;
    const std::wstring versionFile = programFolder + kVersionFile;
    const std::wstring installFile = programFolder + kSettingsFile;
    VersionSettings settings;
    if (!vesk::fs::GetAttributes(versionFile)) {
        settings.manifestUrl = profile::ReadString(installFile, kServerSection, kServerUrlKey,
                                                   kDefaultManifestUrl, kUrlChars);
        profile::WriteString(versionFile, kVersionSection, kVersionKey, kNothingInstalled);
        profile::WriteString(versionFile, kVersionSection, kUrlKey, settings.manifestUrl);
    } else {
        settings.installedVersion = profile::ReadString(versionFile, kVersionSection, kVersionKey,
                                                        kNothingInstalled, kVersionChars);
        settings.manifestUrl = profile::ReadString(versionFile, kVersionSection, kUrlKey,
                                                   kDefaultManifestUrl, kUrlChars);
    }
    settings.packageAddress = profile::ReadString(installFile, kServerSection, kUpdateAddressKey,
                                                  kDefaultPackageAddress, kAddressChars);
    settings.directDownload = profile::ReadInt(installFile, kServerSection, kDirectDownloadKey, 0);
    return settings;
}

std::wstring ReadPartnerName(const std::wstring& programFolder) {
    return vesk::profile::ReadString(programFolder + kSettingsFile, kServerSection, kPartnerNameKey,
                                     kDefaultPartnerName, kPartnerChars);
}

bool WriteInstalledVersion(const std::wstring& programFolder, const std::wstring& version) {
    return vesk::profile::WriteString(programFolder + kVersionFile, kVersionSection, kVersionKey,
                                      version);
}
