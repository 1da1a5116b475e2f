#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "DiskTokenFile.h"
#include "ServiceRegistration.h"
#include "TempDir.h"
#include "fs/Paths.h"
#include "registry/Registry.h"

namespace {

namespace fs = std::filesystem;
using vesk::test::ReadFileBytes;
using vesk::test::WriteFileBytes;
using vesk::tsp::DiskTokenWrite;
using vesk::tsp::kDiskTokenLimit;
using vesk::tsp::WriteDiskTokenFile;

// The local application data ("cache") and a registered installation ("program") are where
// the service may keep its token file; "home" stands for every other file of the user.
class DiskTokenFileTest : public ::testing::Test {
protected:
    DiskTokenFileTest() {
        for (const char* folder : {"cache/TSP", "program", "home", "config"})
            fs::create_directories(m_dir / folder);
        setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        vesk::registry::WriteString(vesk::tsp::kServiceRegistryKey, vesk::tsp::kFolderValue,
                                    Wide(m_dir / "program"));
    }
    ~DiskTokenFileTest() override {
        unsetenv("XDG_CACHE_HOME");
        unsetenv("XDG_CONFIG_HOME");
    }

    static std::wstring Wide(const fs::path& path) { return vesk::fs::WidePath(path.string()); }
    TokenInfo TokenAt(const std::wstring& path, std::wstring diskToken = L"4f2a") const {
        return {std::move(diskToken), L"net", path, false};
    }
    TokenInfo TokenFor(std::wstring diskToken) const {
        return TokenAt(Wide(m_path), std::move(diskToken));
    }

    static mode_t ModeOf(const fs::path& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
    }

    vesk::test::TempDir m_dir;
    fs::path m_path = m_dir / "cache" / "TSP" / "disk.token";
};

TEST_F(DiskTokenFileTest, HoldsExactlyTheUtf8BytesAndANewFileIsForEveryUser) {
    const mode_t saved = umask(077);
    EXPECT_EQ(WriteDiskTokenFile(TokenFor(L"4f2a-Grüße-✓")), DiskTokenWrite::Written);
    umask(saved);
    EXPECT_EQ(ReadFileBytes(m_path),
              "4f2a-Gr\xC3\xBC\xC3\x9F"
              "e-\xE2\x9C\x93");
    EXPECT_EQ(ModeOf(m_path), 0666u);
}

// Whoever made the file chose who may read it; the token only replaces its content.
TEST_F(DiskTokenFileTest, ReplacedFileKeepsItsPermissions) {
    for (const mode_t mode : {0600u, 0640u}) {
        WriteFileBytes(m_path, "an older and much longer token\n");
        fs::permissions(m_path, static_cast<fs::perms>(mode));
        EXPECT_EQ(WriteDiskTokenFile(TokenFor(L"new")), DiskTokenWrite::Written);
        EXPECT_EQ(ReadFileBytes(m_path), "new");
        EXPECT_EQ(ModeOf(m_path), mode);
    }
}

TEST_F(DiskTokenFileTest, OnlyBelowTheServiceFoldersAndNeverThroughALink) {
    const fs::path outside = m_dir / "home" / ".profile";
    fs::create_symlink(m_dir / "home", m_dir / "cache" / "TSP" / "linked");
    fs::create_symlink(outside, m_dir / "cache" / "TSP" / "token.link");
    struct Row {
        fs::path path;
        DiskTokenWrite result;
    };
    const Row rows[] = {
        {m_dir / "program" / "disk.token", DiskTokenWrite::Written},
        {m_dir / "cache" / "disk.token", DiskTokenWrite::Written},
        {m_dir / "cache" / "TSP" / "." / "disk.token", DiskTokenWrite::Written},
        {outside, DiskTokenWrite::Refused},
        {m_dir / "cache" / "TSP" / ".." / ".." / "home" / ".profile", DiskTokenWrite::Refused},
        {m_dir / "program" / ".." / "home" / ".profile", DiskTokenWrite::Refused},
        {m_dir / "cache" / "TSP" / "linked" / ".profile", DiskTokenWrite::Refused},
        {m_dir / "cache" / "TSP" / "token.link", DiskTokenWrite::Refused},
        {m_dir / "cache" / "TSP" / "..", DiskTokenWrite::Refused},
        {m_dir / "cache" / "TSP" / "", DiskTokenWrite::Refused},
        {"cache/TSP/disk.token", DiskTokenWrite::Refused},
        // Within bounds, but there is nowhere to write: a failure, not a refusal.
        {m_dir / "cache" / "missing" / "disk.token", DiskTokenWrite::Failed},
    };
    for (const Row& row : rows) {
        WriteFileBytes(outside, "export PATH\n");
        fs::permissions(outside, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(WriteDiskTokenFile(TokenAt(Wide(row.path))), row.result) << row.path;
        if (row.result == DiskTokenWrite::Written) {
            EXPECT_EQ(ReadFileBytes(row.path), "4f2a") << row.path;
        }
        EXPECT_EQ(ReadFileBytes(outside), "export PATH\n") << row.path;
        EXPECT_EQ(ModeOf(outside), 0600u) << row.path;
    }
    EXPECT_TRUE(fs::is_symlink(m_dir / "cache" / "TSP" / "token.link"));
}

TEST_F(DiskTokenFileTest, WithoutARegistrationOnlyTheLocalApplicationDataCounts) {
    vesk::registry::DeleteKey(L"Software\\Tirsa Networks");
    EXPECT_EQ(WriteDiskTokenFile(TokenAt(Wide(m_dir / "program" / "disk.token"))),
              DiskTokenWrite::Refused);
    EXPECT_EQ(WriteDiskTokenFile(TokenFor(L"x")), DiskTokenWrite::Written);
}

TEST_F(DiskTokenFileTest, TokenOverTheLimitIsRefusedNotCut) {
    EXPECT_EQ(WriteDiskTokenFile(TokenFor(std::wstring(kDiskTokenLimit, L'a'))),
              DiskTokenWrite::Written);
    EXPECT_EQ(ReadFileBytes(m_path).size(), kDiskTokenLimit);
    // Counted in bytes: 1024 two-byte characters are 2048 bytes.
    EXPECT_EQ(WriteDiskTokenFile(TokenFor(std::wstring(1024, L'ü'))), DiskTokenWrite::Failed);
    EXPECT_EQ(WriteDiskTokenFile(TokenFor(std::wstring(kDiskTokenLimit + 1, L'b'))),
              DiskTokenWrite::Failed);
    EXPECT_EQ(ReadFileBytes(m_path), std::string(kDiskTokenLimit, 'a'));
    EXPECT_EQ(WriteDiskTokenFile(TokenAt(L"")), DiskTokenWrite::Failed);
}

}  // namespace
