// Downloaded packages against the digest their manifest gives.

#include <gtest/gtest.h>

#include <string>

#include "PackageChecksum.h"
#include "TempDir.h"

namespace {

constexpr char kAbcMd5[] = "900150983cd24fb0d6963f7d28e17f72";

struct ChecksumCase {
    const char* what;
    std::string md5;
    const wchar_t* file;
    bool matches;
};

const ChecksumCase kCases[] = {
    {"no digest", "", L"p.zip", true},
    {"only blanks", " \t\r\n", L"p.zip", true},
    {"no digest, no file", "", L"absent.zip", true},
    {"equal", kAbcMd5, L"p.zip", true},
    {"capital digits", "900150983CD24FB0D6963F7D28E17F72", L"p.zip", true},
    {"blanks around", std::string(" \t") + kAbcMd5 + "\r\n", L"p.zip", true},
    {"another digest", "d41d8cd98f00b204e9800998ecf8427e", L"p.zip", false},
    {"cut short", std::string(kAbcMd5, 31), L"p.zip", false},
    {"one digit more", std::string(kAbcMd5) + "0", L"p.zip", false},
    {"blank inside", "90015098 3cd24fb0d6963f7d28e17f72", L"p.zip", false},
    {"digest, no file", kAbcMd5, L"absent.zip", false},
};

TEST(PackageMatchesChecksum, Cases) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "p.zip", "abc");
    for (const ChecksumCase& c : kCases) {
        const UpdatePackage package{.name = L"p.zip", .md5 = c.md5};
        EXPECT_EQ(PackageMatchesChecksum(package, dir.wide() + c.file), c.matches) << c.what;
    }
}

}  // namespace
