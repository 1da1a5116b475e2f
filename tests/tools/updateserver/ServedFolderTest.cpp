#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "ServedFolder.h"
#include "TempDir.h"

namespace {

using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

class ServedFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        fs::create_directories(m_root / "sub");
        WriteFileBytes(m_root / "a.bin", "0123456789");
        WriteFileBytes(m_root / "sub" / "b c.txt", "bc");
        WriteFileBytes(m_outside / "secret", "secret");
        fs::create_symlink("a.bin", m_root / "inner-link");
        fs::create_symlink(m_outside / "secret", m_root / "outer-link");
        fs::create_directory_symlink(m_outside.path(), m_root / "outer-folder");
        fs::create_symlink("../../" + m_root.path().filename().string() + "/a.bin",
                           m_root / "sub" / "round-trip");
        ASSERT_EQ(mkfifo((m_root / "pipe").c_str(), 0600), 0);
        ASSERT_TRUE(m_folder.SetRoot(m_root.path()));
    }

    TempDir m_root;
    TempDir m_outside;
    vesk::update_server::ServedFolder m_folder;
};

TEST_F(ServedFolderTest, OpensRegularFilesInsideOnly) {
    struct Row {
        const char* path;
        std::int64_t size;  // -1: refused
    };
    const Row rows[] = {
        {"/a.bin", 10},
        {"//a.bin", 10},
        {"/./a.bin", 10},
        {"/sub/b%20c.txt", 2},
        {"/inner-link", 10},
        {"/sub/round-trip", 10},  // leaves and comes back by name: lands inside
        {"/", -1},
        {"//", -1},
        {"//etc/passwd", -1},
        {"/sub", -1},
        {"/sub/", -1},
        {"/missing", -1},
        {"/pipe", -1},  // opening it must not wait for a writer
        {"/outer-link", -1},
        {"/outer-folder/secret", -1},
        {"/../secret", -1},
        {"/sub/../a.bin", -1},
        {"/%2e%2e/secret", -1},
        {"/%2E%2E%2fsecret", -1},
        {"/sub%2f..%2f..%2fsecret", -1},
        {"/..", -1},
        {"/a.bin%00", -1},
        {"/a.bin%", -1},
        {"/a.bin%4", -1},
        {"/a.bin%zz", -1},
        {"/sub\\..\\a.bin", -1},
        {"a.bin", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const auto file = m_folder.Open(row.path);
        ASSERT_EQ(file.has_value(), row.size >= 0);
        if (file) {
            EXPECT_EQ(file->size(), row.size);
        }
    }
}

TEST_F(ServedFolderTest, RefusesARootThatIsNoFolder) {
    vesk::update_server::ServedFolder folder;
    EXPECT_FALSE(folder.SetRoot(m_root / "a.bin"));
    EXPECT_FALSE(folder.SetRoot(m_root / "missing"));
}

}  // namespace
