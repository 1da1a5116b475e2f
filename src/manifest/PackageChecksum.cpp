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

}  // namespace

bool PackageMatchesChecksum(const UpdatePackage& package, const std::wstring& localPath) {
    if (!package.sha256.empty()) return vesk::digest::FileSha256Hex(localPath) == package.sha256;
    const std::string_view expected = Trimmed(package.md5);
    if (expected.empty()) return true;
    const std::optional<std::string> actual = vesk::digest::FileMd5Hex(localPath);
    return actual && std::ranges::equal(expected, *actual, [](char a, char b) {
               return LowerAscii(a) == LowerAscii(b);
           });
}

std::wstring PackageChecksumName(const UpdatePackage& package) {
    return package.sha256.empty() ? L"md5" : L"sha256";
}
