// The signed manifest's expiry: only the one form, and only real times of day on real dates.
// The publisher's key: anything at its place binds the installation.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "ManifestSignature.h"
#include "TempDir.h"

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

TEST(ReadUpdateKey, AnythingAtTheKeysPlaceButNothingBindsTheInstallation) {
    const auto privateKey = vesk::digest::GenerateKey();
    ASSERT_TRUE(privateKey);
    const std::string keyText = vesk::digest::ToText(*vesk::digest::PublicKeyOf(*privateKey));
    namespace fs = std::filesystem;
    using Plant = std::function<void(const fs::path& folder)>;
    const auto key = [](const fs::path& folder) { return folder / "update_key.pub"; };
    struct Row {
        const char* what;
        Plant plant;
        bool present;
        bool valid;
    };
    const Row rows[] = {
        {"nothing", [](const fs::path&) {}, false, false},
        {"a key", [&](const fs::path& f) { vesk::test::WriteFileBytes(key(f), keyText); }, true,
         true},
        {"a link to a key",
         [&](const fs::path& f) {
             vesk::test::WriteFileBytes(f / "real.pub", keyText);
             fs::create_symlink(f / "real.pub", key(f));
         },
         true, true},
        {"a dangling link", [&](const fs::path& f) { fs::create_symlink(f / "gone", key(f)); },
         true, false},
        {"a loop of links", [&](const fs::path& f) { fs::create_symlink(key(f), key(f)); }, true,
         false},
        {"a folder", [&](const fs::path& f) { fs::create_directory(key(f)); }, true, false},
        {"no key", [&](const fs::path& f) { vesk::test::WriteFileBytes(key(f), "not a key"); },
         true, false},
    };
    for (const Row& row : rows) {
        vesk::test::TempDir dir;
        row.plant(dir.path());
        const UpdateKey read = ReadUpdateKey(dir.wide());
        EXPECT_EQ(read.present, row.present) << row.what;
        EXPECT_EQ(read.key.has_value(), row.valid) << row.what;
    }
}

}  // namespace
