// File digests against published vectors and the system's own tool.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "TempDir.h"
#include "digest/FileDigest.h"
#include "fs/Paths.h"

using vesk::digest::FileMd5Hex;
using vesk::digest::FileSha256Hex;
using vesk::digest::Sha256Hex;
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
    std::string content(3 * (1 << 20) + 12345, '\0');
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
    EXPECT_EQ(FileSha256Hex(dir.wide() + L"absent.zip"), std::nullopt);
    EXPECT_EQ(FileSha256Hex(dir.wide()), std::nullopt);
}

TEST(Sha256Hex, PublishedVectorsOfBytesAndOfFiles) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string("\0\xff", 2),
         "06eb7d6a69ee19e5fbdf749018d3d2abfa04bcbd1365db312eb86dc7169389b8"},
    };
    TempDir dir;
    for (const auto& [content, sha256] : vectors) {
        WriteFileBytes(dir / "p.zip", content);
        EXPECT_EQ(Sha256Hex(content), sha256) << content;
        EXPECT_EQ(FileSha256Hex(dir.wide() + L"p.zip"), sha256) << content;
    }
}

// Many pieces, the last one cut short: the streamed digest is that of the whole content.
TEST(Sha256Hex, LargeFileMatchesItsBytesAndTheSystemTool) {
    TempDir dir;
    std::string content(3 * (1 << 20) + 12345, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
    WriteFileBytes(dir / "big.bin", content);
    const auto streamed = FileSha256Hex(dir.wide() + L"big.bin");
    ASSERT_TRUE(streamed);
    EXPECT_EQ(streamed, Sha256Hex(content));
    std::FILE* tool = popen(("sha256sum " + (dir / "big.bin").string()).c_str(), "r");
    ASSERT_NE(tool, nullptr);
    char expected[65] = {};
    const bool read = std::fscanf(tool, "%64s", expected) == 1;
    if (pclose(tool) != 0 || !read) GTEST_SKIP() << "no sha256sum here";
    EXPECT_EQ(*streamed, expected);
}

}  // namespace
