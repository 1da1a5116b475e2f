#include <gtest/gtest.h>
#include <sys/stat.h>

#include "DiskTokenFile.h"
#include "TempDir.h"
#include "fs/Paths.h"

namespace {

using vesk::tsp::kDiskTokenLimit;
using vesk::tsp::WriteDiskTokenFile;

class DiskTokenFileTest : public ::testing::Test {
protected:
    TokenInfo TokenFor(std::wstring diskToken) const {
        return {std::move(diskToken), L"net", vesk::fs::WidePath(m_path.string()), false};
    }

    vesk::test::TempDir m_dir;
    std::filesystem::path m_path = m_dir / "disk.token";
};

TEST_F(DiskTokenFileTest, HoldsExactlyTheUtf8BytesForEveryUser) {
    const mode_t saved = umask(077);
    vesk::test::WriteFileBytes(m_path, "an older and much longer token\n");
    EXPECT_TRUE(WriteDiskTokenFile(TokenFor(L"4f2a-Grüße-✓")));
    umask(saved);
    EXPECT_EQ(vesk::test::ReadFileBytes(m_path),
              "4f2a-Gr\xC3\xBC\xC3\x9F"
              "e-\xE2\x9C\x93");
    struct stat info {};
    ASSERT_EQ(stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u);
}

TEST_F(DiskTokenFileTest, TokenOverTheLimitIsRefusedNotCut) {
    EXPECT_TRUE(WriteDiskTokenFile(TokenFor(std::wstring(kDiskTokenLimit, L'a'))));
    EXPECT_EQ(vesk::test::ReadFileBytes(m_path).size(), kDiskTokenLimit);
    // Counted in bytes: 1024 two-byte characters are 2048 bytes.
    EXPECT_FALSE(WriteDiskTokenFile(TokenFor(std::wstring(1024, L'ü'))));
    EXPECT_FALSE(WriteDiskTokenFile(TokenFor(std::wstring(kDiskTokenLimit + 1, L'b'))));
    EXPECT_EQ(vesk::test::ReadFileBytes(m_path), std::string(kDiskTokenLimit, 'a'));
}

TEST_F(DiskTokenFileTest, NowhereToWriteIsAFailure) {
    TokenInfo token = TokenFor(L"x");
    token.filePath.clear();
    EXPECT_FALSE(WriteDiskTokenFile(token));
    token.filePath = m_dir.wide() + L"missing/folder/disk.token";
    EXPECT_FALSE(WriteDiskTokenFile(token));
}

}  // namespace
