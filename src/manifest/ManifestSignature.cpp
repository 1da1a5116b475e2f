#include "ManifestSignature.h"

#include <algorithm>
#include <cstdio>

#include "VersionManifest.h"
#include "fs/Files.h"
#include "text/Utf.h"

namespace {

// Far more than 128 digits and a line end: anything larger is no signature or key.
constexpr std::size_t kMaxSignatureBytes = 1024;

bool IsLowerHexDigest(const std::string& text) {
    return text.size() == 64 && std::ranges::all_of(text, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

UpdateKey ReadUpdateKey(const std::wstring& programFolder) {
    const std::wstring path = programFolder + kUpdateKeyFile;
    UpdateKey key;
    // A key file that exists, readable or not, binds the installation.
    key.present = static_cast<bool>(vesk::fs::GetAttributes(path));
    if (!key.present) return key;
    const std::optional<std::string> text = ReadManifestFile(path);
    if (text && text->size() <= kMaxSignatureBytes) key.key = vesk::digest::ParsePublicKey(*text);
    return key;
}

std::optional<std::int64_t> ParseExpiry(const std::string& text) {
    int year, month, day, hour, minute, second;
    char tail = 0;
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%c", &year, &month, &day, &hour, &minute,
                    &second, &tail) != 6)
        return std::nullopt;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    if (day > kDays[month - 1] + (month == 2 && IsLeap(year))) return std::nullopt;
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

bool ParseSignedManifest(const std::wstring& path, const UpdateKey& key, std::int64_t nowUtc,
                         UpdatePackageList& packages, std::wstring& refusal) {
    if (!key.key) {
        refusal = std::wstring(kUpdateKeyFile) + L" holds no valid key";
        return false;
    }
    const std::optional<std::string> bytes = ReadManifestFile(path);
    if (!bytes) {
        refusal = L"the manifest cannot be read";
        return false;
    }
    const std::optional<std::string> signatureText = ReadManifestFile(path + kSignatureSuffix);
    if (!signatureText) {
        refusal = L"the manifest has no signature";
        return false;
    }
    const auto signature = signatureText->size() <= kMaxSignatureBytes
                               ? vesk::digest::ParseSignature(*signatureText)
                               : std::nullopt;
    if (!signature) {
        refusal = L"the manifest's signature is malformed";
        return false;
    }
    if (!vesk::digest::Verify(*key.key, *bytes, *signature)) {
        refusal = L"the manifest's signature does not match the key";
        return false;
    }
    UpdatePackageList parsed;
    std::string expires;
    if (!ParseManifestText(*bytes, parsed, &expires) || !HasSafeNames(parsed)) {
        refusal = L"the signed manifest is unreadable";
        return false;
    }
    for (const UpdatePackage& package : parsed) {
        if (!IsLowerHexDigest(package.sha256)) {
            refusal = L"package " + package.name + L" has no valid sha256";
            return false;
        }
    }
    const std::optional<std::int64_t> expiry = ParseExpiry(expires);
    if (!expiry) {
        refusal = L"the signed manifest has no valid expiry";
        return false;
    }
    if (nowUtc >= *expiry) {
        refusal = L"the signed manifest expired at " + vesk::text::Utf8ToWide(expires);
        return false;
    }
    packages = std::move(parsed);
    return true;
}
