#pragma once
// Where the manifest comes from and what is installed: version.ini in the program folder
// (created on the first run) and the installation's Config.ini.

#include <cstddef>
#include <string>

inline constexpr wchar_t kDefaultManifestUrl[] =
    L"http://updates.vesk.example/updates/veskversion.xml";
inline constexpr wchar_t kDefaultPackageAddress[] = L"http://updates.vesk.example/updates/";
inline constexpr wchar_t kDefaultPartnerName[] = L"vdrlvesk";

// What version.ini gives back of a version id: a longer id would read back cut, so no manifest
// that holds one is taken.
inline constexpr std::size_t kMaxVersionIdChars = 15;

struct VersionSettings {
    std::wstring installedVersion;  // empty on a first run
    std::wstring manifestUrl;
    std::wstring packageAddress;  // a package's name is appended to it
    int directDownload = 0;
};

VersionSettings ReadVersionSettings(const std::wstring& programFolder);

// The partner name handed to the transfer service.
std::wstring ReadPartnerName(const std::wstring& programFolder);

// Records the installed version after a successful update.
bool WriteInstalledVersion(const std::wstring& programFolder, const std::wstring& version);
