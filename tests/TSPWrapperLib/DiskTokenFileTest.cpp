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

// Whatever answers on the service's port may name any file in the service's folders: only
// an earlier token may be written over, never a program, and the service's own least of all.
TEST_F(DiskTokenFileTest, OnlyAnEarlierTokenIsWrittenOverNeverAProgram) {
    const fs::path service = m_dir / "program" / "TSP.exe";
    const std::string program =
        "\x7f"
        "ELF" +
        std::string(5000, 'p');
    struct Row {
        const char* what;
        fs::path path;
        std::string before;
        mode_t mode;
        DiskTokenWrite result;
    };
    const Row rows[] = {
        {"the service's program", service, program, 0755, DiskTokenWrite::Refused},
        {"the service's program, not executable", service, "tiny", 0644, DiskTokenWrite::Refused},
        {"another program", m_dir / "cache" / "TSP" / "helper", "#!/bin/sh\n", 0700,
         DiskTokenWrite::Refused},
        {"a program only others may run", m_dir / "cache" / "tool", "x", 0601,
         DiskTokenWrite::Refused},
        {"a file larger than any token", m_dir / "cache" / "TSP" / "big.dat",
         std::string(kDiskTokenLimit + 1, 'b'), 0644, DiskTokenWrite::Refused},
        {"a token of the largest size", m_path, std::string(kDiskTokenLimit, 't'), 0644,
         DiskTokenWrite::Written},
    };
    for (const Row& row : rows) {
        WriteFileBytes(row.path, row.before);
        fs::permissions(row.path, static_cast<fs::perms>(row.mode));
        EXPECT_EQ(WriteDiskTokenFile(TokenAt(Wide(row.path))), row.result) << row.what;
        const bool written = row.result == DiskTokenWrite::Written;
        EXPECT_EQ(ReadFileBytes(row.path), written ? "4f2a" : row.before) << row.what;
        EXPECT_EQ(ModeOf(row.path), row.mode) << row.what;
        fs::remove(row.path);
    }
    // The service's program under another name is still the service's program.
    WriteFileBytes(service, "tiny");
    fs::permissions(service, static_cast<fs::perms>(0644));
    fs::create_hard_link(service, m_path);
    EXPECT_EQ(WriteDiskTokenFile(TokenFor(L"new")), DiskTokenWrite::Refused);
    EXPECT_EQ(ReadFileBytes(service), "tiny");
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
