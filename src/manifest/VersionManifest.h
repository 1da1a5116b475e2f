#pragma once
// The version manifest: parsing it into packages, comparing versions and choosing what to
// download.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "UpdatePackage.h"

// The largest manifest that is parsed; a download stops there.
inline constexpr std::size_t kMaxManifestBytes = 16u << 20;

// The installed version before the first update; the empty string means the same.
inline constexpr wchar_t kNothingInstalled[] = L"0000";

// Reads the manifest file: the "updatepackage" elements of "root" in document order, then
// its "latestpackage". False when the file cannot be read or lacks any of the three, or a
// package's name is no safe file name (IsSafePackageName), or a package's id is one the
// installation could not record (LongVersionIdRefusal, which then fills refusal).
// Digests beyond the md5 are not kept: they count only in a signed manifest.
bool ParseManifest(const std::wstring& path, UpdatePackageList& packages,
                   std::wstring* refusal = nullptr);
// The same for the bytes, keeping every package's "sha256"; expires, when given, receives the
// "expires" attribute of "root" (empty when it has none).
bool ParseManifestText(std::string_view xml, UpdatePackageList& packages,
                       std::string* expires = nullptr);
// A name becomes a path in the package folder: false when one would lead elsewhere
// (IsSafePackageName).
bool HasSafeNames(const UpdatePackageList& packages);
// Why the packages cannot be taken when one's id is longer than version.ini keeps
// (kMaxVersionIdChars), for the log; empty when every id fits. Every id counts: each is
// compared with the installed one, and the latest is recorded.
std::wstring LongVersionIdRefusal(const UpdatePackageList& packages);
// The manifest file's bytes; nullopt when it cannot be read whole.
std::optional<std::string> ReadManifestFile(const std::wstring& path);

// Textual: ASCII capitals fold to lower case, then UTF-16 units compare from the left.
int CompareVersions(std::wstring_view a, std::wstring_view b);

struct PackageSelection {
    int currentIndex = 0;         // the next package to download
    std::int64_t totalBytes = 0;  // what will be downloaded
};

// The chain of update packages newer than the installed version, unless the latest package
// alone is smaller; only the latest package on a first run. currentIndex reaches the number
// of packages when the installed version is current.
PackageSelection SelectPackages(std::wstring_view installedVersion,
                                const UpdatePackageList& packages);

// The indexes the selection downloads, in order.
std::vector<int> PackagesToDownload(const PackageSelection& selection,
                                    const UpdatePackageList& packages);
