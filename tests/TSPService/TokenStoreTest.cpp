#include "TokenStore.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"

namespace vesk::tsp_service {
namespace {

void WriteDiskToken(const IssuedToken& token) {
    std::ofstream(token.filePath, std::ios::binary | std::ios::trunc) << token.diskToken;
}

// A client that asks for token after token: the service forgets the ones nobody uses, but
// never the one a client keeps using, and never the newest.
TEST(TokenStoreTest, ForgetsUnusedTokensOnceManyWereIssued) {
    test::TempDir folder;
    TokenStore store(folder / "disk.token");
    const IssuedToken kept = store.Issue();
    const IssuedToken idle = store.Issue();
    WriteDiskToken(kept);
    ASSERT_TRUE(store.Validate(kept.netToken)->validated);

    IssuedToken newest;
    for (std::size_t n = 0; n < TokenStore::kMaxTokens; ++n) {
        newest = store.Issue();
        if (n % 64 == 0) {
            EXPECT_TRUE(store.Accepts(kept.netToken)) << "after " << n;
        }
    }

    EXPECT_TRUE(store.Accepts(kept.netToken));
    EXPECT_FALSE(store.Validate(idle.netToken).has_value());
    EXPECT_TRUE(store.Validate(newest.netToken).has_value());
}

TEST(TokenStoreTest, ValidatesOnlyAgainstTheTokenFile) {
    test::TempDir folder;
    TokenStore store(folder / "disk.token");
    const IssuedToken token = store.Issue();
    EXPECT_FALSE(store.Validate(token.netToken)->validated);  // no file yet
    EXPECT_FALSE(store.Accepts(token.netToken));
    WriteDiskToken(token);
    EXPECT_TRUE(store.Validate(token.netToken)->validated);
    EXPECT_TRUE(store.Accepts(token.netToken));
    EXPECT_TRUE(store.Accepts(""));
    EXPECT_FALSE(store.Accepts("never-issued"));
    EXPECT_FALSE(store.Validate("never-issued").has_value());
}

}  // namespace
}  // namespace vesk::tsp_service
