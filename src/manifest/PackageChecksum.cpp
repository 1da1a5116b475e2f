#include "PackageChecksum.h"

#include <algorithm>
#include <string_view>

#include "digest/FileDigest.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasDigest(const UpdatePackage& package) {
    return !package.sha256.empty() || !Trimmed(package.md5).empty();
}

// Whether what the descriptor holds has the digest the manifest gives (which it must give).
bool DigestMatches(const UpdatePackage& package, int fd) {
    if (!package.sha256.empty()) return vesk::digest::DescriptorSha256Hex(fd) == package.sha256;
    const std::optional<std::string> actual = vesk::digest::DescriptorMd5Hex(fd);
    return actual && std::ranges::equal(Trimmed(package.md5), *actual, [](char a, char b) {
               return LowerAscii(a) == LowerAscii(b);
           });
}

}  // namespace

CheckedPackage CheckDownloadedPackage(const UpdatePackage& package, const std::wstring& localPath) {
    std::shared_ptr<const vesk::fs::HeldFile> file = vesk::fs::HeldFile::Open(localPath);
    if (!file) return {PackageCheck::Unreadable, nullptr};
    const std::optional<std::uint64_t> size = file->Size();
    if (!size) return {PackageCheck::Unreadable, nullptr};
    if (*size > PackageSizeLimit(package)) return {PackageCheck::TooLarge, nullptr};
    if (HasDigest(package) && !DigestMatches(package, file->Descriptor()))
        return {PackageCheck::Differs, nullptr};
    return {PackageCheck::Matches, std::move(file)};
}

std::uint64_t PackageSizeLimit(const UpdatePackage& package) {
    return static_cast<std::uint32_t>(package.size);
}

bool PackageMatchesChecksum(const UpdatePackage& package, const std::wstring& localPath) {
    if (!HasDigest(package)) return true;
    const auto file = vesk::fs::HeldFile::Open(localPath);
    return file && DigestMatches(package, file->Descriptor());
}

std::wstring PackageChecksumName(const UpdatePackage& package) {
    return package.sha256.empty() ? L"md5" : L"sha256";
}
