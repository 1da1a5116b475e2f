#include "digest/PublisherKey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using vesk::digest::ReadPublisherKey;

const std::string kKey = "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c";

// Whatever lies at the key's place binds the folder; only a readable key is a key.
TEST(PublisherKeyTest, AnythingAtTheKeysPlaceBindsOnlyAKeyIsValid) {
    struct Row {
        const char* what;
        std::function<void(const fs::path&)> place;
        bool present;
        bool valid;
    };
    const Row rows[] = {
        {"nothing", [](const fs::path&) {}, false, false},
        {"a key among blanks",
         [](const fs::path& p) { vesk::test::WriteFileBytes(p, "  " + kKey + "\r\n"); }, true,
         true},
        {"a link to a key",
         [](const fs::path& p) {
             vesk::test::WriteFileBytes(p.parent_path() / "real.pub", kKey);
             fs::create_symlink("real.pub", p);
         },
         true, true},
        {"a dangling link", [](const fs::path& p) { fs::create_symlink("gone.pub", p); }, true,
         false},
        {"a folder", [](const fs::path& p) { fs::create_directory(p); }, true, false},
        {"a short key", [](const fs::path& p) { vesk::test::WriteFileBytes(p, kKey.substr(2)); },
         true, false},
        {"a key behind a kilobyte of blanks",
         [](const fs::path& p) { vesk::test::WriteFileBytes(p, std::string(1024, ' ') + kKey); },
         true, false},
    };
    for (const Row& row : rows) {
        vesk::test::TempDir dir;
        row.place(dir / "update_key.pub");
        const auto key = ReadPublisherKey(dir.wide());
        EXPECT_EQ(key.present, row.present) << row.what;
        EXPECT_EQ(key.key.has_value(), row.valid) << row.what;
        if (key.key) {
            EXPECT_EQ(vesk::digest::ToText(*key.key), kKey) << row.what;
        }
    }
}

}  // namespace
