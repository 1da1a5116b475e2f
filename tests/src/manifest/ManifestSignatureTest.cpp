// The signed manifest's expiry: only the one form, and only real times of day on real dates.

#include <gtest/gtest.h>

#include "ManifestSignature.h"

namespace {

TEST(ParseExpiry, ReadsTheOneFormAsUtcSecondsAndRefusesTheRest) {
    struct Row {
        const char* text;
        std::optional<std::int64_t> seconds;
    };
    const Row rows[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"2000-02-29T12:00:00Z", 951825600},  // a leap day of a century divisible by 400
        {"2026-12-08T17:40:05Z", 1796751605},
        {"2099-12-31T23:59:59Z", 4102444799},
        {"1900-02-29T00:00:00Z", std::nullopt},  // a century without a leap day
        {"2026-02-29T00:00:00Z", std::nullopt},
        {"2026-13-01T00:00:00Z", std::nullopt},
        {"2026-04-31T00:00:00Z", std::nullopt},
        {"2026-01-01T24:00:00Z", std::nullopt},
        {"2026-01-01T00:60:00Z", std::nullopt},
        {"2026-01-01 00:00:00Z", std::nullopt},
        {"2026-01-01T00:00:00", std::nullopt},
        {"2026-01-01T00:00:00+01:00", std::nullopt},
        {"2026-1-01T00:00:00Z", std::nullopt},
        {"+026-01-01T00:00:00Z", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseExpiry(row.text), row.seconds) << row.text;
}

}  // namespace
