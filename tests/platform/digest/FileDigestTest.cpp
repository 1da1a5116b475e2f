// File digests against published vectors and the system's own tool.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "TempDir.h"
#include "digest/FileDigest.h"
#include "fs/Paths.h"

using vesk::digest::FileMd5Hex;
using vesk::test::TempDir;
using vesk::test::WriteFileBytes;

namespace {

TEST(FileMd5Hex, PublishedVectorsAndANativeName) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    };
    TempDir dir;
    const std::string native = "p\xff\xc3\xa9.zip";  // a byte outside UTF-8, then é
    for (const auto& [content, md5] : vectors) {
        WriteFileBytes(dir / native, content);
        EXPECT_EQ(FileMd5Hex(dir.wide() + vesk::fs::WidePath(native)), md5) << content;
    }
}

// Many pieces, the last one cut short.
TEST(FileMd5Hex, LargeFileMatchesTheSystemTool) {
    TempDir dir;
    std::string content(3 * 65536 + 12345, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
    WriteFileBytes(dir / "big.bin", content);
    std::FILE* tool = popen(("md5sum " + (dir / "big.bin").string()).c_str(), "r");
    ASSERT_NE(tool, nullptr);
    char expected[33] = {};
    const bool read = std::fscanf(tool, "%32s", expected) == 1;
    if (pclose(tool) != 0 || !read) GTEST_SKIP() << "no md5sum here";
    EXPECT_EQ(FileMd5Hex(dir.wide() + L"big.bin"), expected);
}

TEST(FileMd5Hex, UnreadableGivesNothing) {
    TempDir dir;
    EXPECT_EQ(FileMd5Hex(dir.wide() + L"absent.zip"), std::nullopt);
    EXPECT_EQ(FileMd5Hex(dir.wide()), std::nullopt);  // a folder opens but cannot be read
    EXPECT_EQ(FileMd5Hex(L""), std::nullopt);
}

}  // namespace
