#include "swarm/SeedCache.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TempDir.h"

namespace vesk::tsp_service {
namespace {

std::string Hash(char digit) {
    return std::string(40, digit);
}

CacheEntry Entry(char digit, std::int64_t size, std::int64_t finishedAt) {
    return {Hash(digit), "http://127.0.0.1/p.zip", "p.zip", size, finishedAt};
}

TEST(SeedCacheTest, DropsWhatWasSeededLongEnoughThenTheOldestUntilTheCacheFits) {
    constexpr std::int64_t kNow = 1000000;
    struct Row {
        const char* what;
        std::vector<CacheEntry> entries;
        std::int64_t limit;
        std::int64_t seedSeconds;
        std::vector<std::string> dropped;
    };
    const Row rows[] = {
        {"all fit and seed on", {Entry('1', 10, kNow - 5), Entry('2', 10, kNow - 1)}, 20, 60, {}},
        {"the oldest goes first",
         {Entry('2', 10, kNow - 1), Entry('1', 10, kNow - 5), Entry('3', 10, kNow - 3)},
         20,
         60,
         {Hash('1')}},
        {"seeded long enough",
         {Entry('1', 10, kNow - 60), Entry('2', 10, kNow - 59)},
         100,
         60,
         {Hash('1')}},
        {"no seeding: finished ones go at once", {Entry('1', 10, kNow)}, 100, 0, {Hash('1')}},
        {"an unfinished one within the limit stays", {Entry('1', 15, 0)}, 20, 60, {}},
        {"an unfinished one counts against the finished, which go first",
         {Entry('1', 15, 0), Entry('2', 10, kNow - 1)},
         20,
         60,
         {Hash('2')}},
        {"unfinished ones go once the finished are not enough",
         {Entry('1', 50, 0), Entry('2', 10, kNow - 1), Entry('3', 5, 0)},
         20,
         60,
         {Hash('1'), Hash('2')}},
        {"a limit of nothing empties every finished one",
         {Entry('1', 1, kNow - 2), Entry('2', 1, kNow - 1)},
         0,
         60,
         {Hash('1'), Hash('2')}},
    };
    for (const Row& row : rows) {
        auto dropped = EntriesToDrop(row.entries, row.limit, row.seedSeconds, kNow);
        std::sort(dropped.begin(), dropped.end());
        EXPECT_EQ(dropped, row.dropped) << row.what;
    }
}

// A killed service finds its entries again, finished ones with their time.
TEST(SeedCacheTest, EntriesSurviveAReopenAndARemovedOneIsGone) {
    test::TempDir folder;
    {
        SeedCache cache(folder / "cache");
        ASSERT_TRUE(cache.Create(Entry('a', 7, 0), "torrent-a"));
        ASSERT_TRUE(cache.Create(Entry('b', 9, 0), "torrent-b"));
        cache.MarkFinished(Hash('a'), 1234);
        // Not a cache entry: ignored.
        std::filesystem::create_directories(folder / "cache" / "stray");
    }
    SeedCache cache(folder / "cache");
    auto entries = cache.List();
    std::sort(entries.begin(), entries.end(),
              [](const CacheEntry& x, const CacheEntry& y) { return x.infoHash < y.infoHash; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].finishedAt, 1234);
    EXPECT_EQ(entries[0].size, 7);
    EXPECT_EQ(entries[0].url, "http://127.0.0.1/p.zip");
    EXPECT_EQ(entries[1].finishedAt, 0);
    EXPECT_EQ(cache.TorrentBytes(Hash('b')), "torrent-b");
    cache.Remove(Hash('a'));
    EXPECT_EQ(cache.List().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / "cache" / Hash('a')));
}

}  // namespace
}  // namespace vesk::tsp_service
