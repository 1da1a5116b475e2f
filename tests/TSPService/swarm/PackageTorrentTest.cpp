#include "swarm/PackageTorrent.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "TestTorrent.h"

namespace vesk::tsp_service {
namespace {

// Only a torrent of exactly the package's one file may steer where the swarm writes.
TEST(PackageTorrentTest, AcceptsOnlyATorrentOfThePackagesOneFile) {
    test::TempDir folder;
    test::WriteFileBytes(folder / "game-1.2.zip", test::NoiseBytes(40000, 1));
    std::filesystem::create_directories(folder / "two");
    test::WriteFileBytes(folder / "two" / "a.zip", "a");
    test::WriteFileBytes(folder / "two" / "b.zip", "b");
    const test::TestTorrent single = test::MakeTorrent(folder / "game-1.2.zip");
    const test::TestTorrent multi = test::MakeTorrent(folder / "two");

    struct Row {
        const char* what;
        std::string bytes;
        std::string fileName;
        bool accepted;
    };
    const Row rows[] = {
        {"the package's torrent", single.bytes, "game-1.2.zip", true},
        {"a torrent of another file", single.bytes, "game-1.3.zip", false},
        {"a torrent of a folder", multi.bytes, "a.zip", false},
        {"no torrent at all", "", "game-1.2.zip", false},
        {"an HTML error page", "<html>not found</html>", "game-1.2.zip", false},
        {"a torrent cut short", single.bytes.substr(0, single.bytes.size() / 2), "game-1.2.zip",
         false},
        {"more than the cap", single.bytes + std::string(kTorrentSizeCap, ' '), "game-1.2.zip",
         false},
    };
    for (const Row& row : rows) {
        std::string reason;
        const auto torrent = AcceptPackageTorrent(row.bytes, row.fileName, reason);
        EXPECT_EQ(torrent.has_value(), row.accepted) << row.what;
        if (torrent) {
            EXPECT_EQ(torrent->infoHash, single.infoHash);
        } else {
            EXPECT_FALSE(reason.empty()) << row.what;
        }
    }
}

}  // namespace
}  // namespace vesk::tsp_service
