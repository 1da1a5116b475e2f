#include "ManifestSignature.h"

#include <algorithm>
#include <string_view>

#include "VersionManifest.h"
#include "digest/PublisherKey.h"
#include "text/Utf.h"

namespace {

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

// The same key file binds the transfer library's installer download; one reading serves both.
UpdateKey ReadUpdateKey(const std::wstring& programFolder) {
    const vesk::digest::PublisherKey found = vesk::digest::ReadPublisherKey(programFolder);
    return {found.present, found.key};
}

std::optional<std::int64_t> ParseExpiry(const std::string& text) {
    // "YYYY-MM-DDTHH:MM:SSZ": each "9" a digit, everything else itself.
    constexpr std::string_view kForm = "9999-99-99T99:99:99Z";
    if (text.size() != kForm.size()) return std::nullopt;
    for (std::size_t i = 0; i < kForm.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kForm[i] == '9' ? !digit : text[i] != kForm[i]) return std::nullopt;
    }
    const auto number = [&text](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
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
    if (std::wstring why = LongVersionIdRefusal(parsed); !why.empty()) {
        refusal = std::move(why);
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
