#include "VersionManifest.h"

#include <tinyxml.h>

#include <algorithm>

#include "PackageName.h"
#include "VersionSettings.h"
#include "fs/Files.h"
#include "text/AnsiCodePage.h"
#include "text/Number.h"
#include "text/Utf.h"
#include "xml/BoundedParse.h"

namespace {

constexpr size_t kMaxManifestDepth = 64;

std::string Attribute(const TiXmlElement& element, const char* name) {
    const char* value = element.Attribute(name);
    return value ? value : "";
}

// A missing or non-numeric size or count reads as 0.
std::int32_t NumberAttribute(const TiXmlElement& element, const char* name) {
    return vesk::text::ParseDecimalInt(vesk::text::AnsiToWide(Attribute(element, name)));
}

UpdatePackage PackageFrom(const TiXmlElement& element) {
    UpdatePackage package;
    package.id = vesk::text::AnsiToWide(Attribute(element, "id"));
    package.url = vesk::text::AnsiToWide(Attribute(element, "url"));
    package.name = vesk::text::AnsiToWide(Attribute(element, "name"));
    package.buildVersion = vesk::text::AnsiToWide(Attribute(element, "build_version"));
    package.md5 = Attribute(element, "md5");
    package.sha256 = Attribute(element, "sha256");
    package.fileCount = NumberAttribute(element, "filecount");
    package.size = NumberAttribute(element, "size");
    return package;
}

// Sizes compare as unsigned 32-bit numbers. Sums are kept wide, so a chain beyond 32 bits
// stays large instead of wrapping to a small number; negative sizes keep their unsigned
// reading.
std::uint64_t AsUnsigned(std::int64_t value) {
    return value < 0 ? static_cast<std::uint64_t>(value) & 0xFFFFFFFFu
                     : static_cast<std::uint64_t>(value);
}

char16_t FoldAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

}  // namespace

bool ParseManifestText(std::string_view xml, UpdatePackageList& packages, std::string* expires) {
    if (xml.size() > kMaxManifestBytes) return false;
    TiXmlDocument document;
    if (vesk::xml::ParseBounded(document, xml, kMaxManifestDepth) != vesk::xml::ParseResult::Parsed)
        return false;
    const TiXmlElement* root = document.FirstChildElement("root");
    if (!root) return false;
    const TiXmlElement* latest = root->FirstChildElement("latestpackage");
    if (!latest) return false;
    const TiXmlElement* update = root->FirstChildElement("updatepackage");
    if (!update) return false;

    UpdatePackageList parsed;
    for (; update; update = update->NextSiblingElement("updatepackage"))
        parsed.push_back(PackageFrom(*update));
    parsed.push_back(PackageFrom(*latest));
    if (expires) *expires = Attribute(*root, "expires");
    packages = std::move(parsed);
    return true;
}

bool HasSafeNames(const UpdatePackageList& packages) {
    return std::ranges::all_of(
        packages, [](const UpdatePackage& package) { return IsSafePackageName(package.name); });
}

std::optional<std::string> ReadManifestFile(const std::wstring& path) {
    try {
        using vesk::fs::ExclusiveFile;
        ExclusiveFile file;
        if (ExclusiveFile::Open(path, ExclusiveFile::Access::Read, false, file) !=
            ExclusiveFile::Result::Ok)
            return std::nullopt;
        return file.ReadAll();
    } catch (...) {
        return std::nullopt;
    }
}

std::wstring LongVersionIdRefusal(const UpdatePackageList& packages) {
    for (const UpdatePackage& package : packages) {
        if (package.id.size() > kMaxVersionIdChars)
            return L"the id " + package.id + L" of package " + package.name + L" is longer than " +
                   std::to_wstring(kMaxVersionIdChars) + L" characters";
    }
    return {};
}

bool ParseManifest(const std::wstring& path, UpdatePackageList& packages, std::wstring* refusal) {
    const std::optional<std::string> bytes = ReadManifestFile(path);
    UpdatePackageList parsed;
    if (!bytes || !ParseManifestText(*bytes, parsed) || !HasSafeNames(parsed)) return false;
    if (std::wstring why = LongVersionIdRefusal(parsed); !why.empty()) {
        if (refusal) *refusal = std::move(why);
        return false;
    }
    for (UpdatePackage& package : parsed) package.sha256.clear();
    packages = std::move(parsed);
    return true;
}

int CompareVersions(std::wstring_view a, std::wstring_view b) {
    const std::u16string left = vesk::text::WideToUtf16(a);
    const std::u16string right = vesk::text::WideToUtf16(b);
    const size_t common = std::min(left.size(), right.size());
    for (size_t i = 0; i < common; ++i) {
        const int difference = FoldAscii(left[i]) - FoldAscii(right[i]);
        if (difference != 0) return difference;
    }
    return left.size() < right.size() ? -1 : (left.size() > right.size() ? 1 : 0);
}

PackageSelection SelectPackages(std::wstring_view installed, const UpdatePackageList& packages) {
    const int n = static_cast<int>(packages.size());
    if (n == 0) return {};
    const std::int64_t latestSize = packages.back().size;
    if (installed.empty() || CompareVersions(installed, kNothingInstalled) == 0)
        return {n - 1, latestSize};

    PackageSelection selection;
    for (int i = 0; i < n; ++i) {
        // The index never passes i, so it always names a record.
        if (CompareVersions(installed, packages[selection.currentIndex].id) >= 0)
            ++selection.currentIndex;
        else
            selection.totalBytes += packages[i].size;
    }
    if (selection.currentIndex < n - 1) {
        selection.totalBytes -= latestSize;
        if (AsUnsigned(selection.totalBytes) > AsUnsigned(latestSize))
            selection = {n - 1, latestSize};
    }
    return selection;
}

std::vector<int> PackagesToDownload(const PackageSelection& selection,
                                    const UpdatePackageList& packages) {
    const int n = static_cast<int>(packages.size());
    if (selection.currentIndex >= n) return {};
    if (selection.currentIndex == n - 1) return {n - 1};
    std::vector<int> chain;
    for (int i = selection.currentIndex; i <= n - 2; ++i) chain.push_back(i);
    return chain;
}
