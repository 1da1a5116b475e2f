// Package names that may become a file in the package folder, and the manifests that carry
// the others.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "PackageName.h"
#include "TempDir.h"
#include "VersionManifest.h"

namespace {

struct NameCase {
    std::wstring name;
    bool safe;
};

const NameCase kNames[] = {
    {L"full.zip", true},
    {L".hidden.zip", true},
    {L"p 1.2 \u00e9.zip", true},
    {L"", false},
    {L".", false},
    {L"..", false},
    {L"p..zip", false},
    {L"sub/p.zip", false},
    {L"sub\\p.zip", false},
    {L"/p.zip", false},
    {L"..\\p.zip", false},
    {L"p\t.zip", false},
    {L"p\n.zip", false},
    {std::wstring(L"p\0.zip", 6), false},  // NUL would cut the name short
    {L"p\x7f.zip", false},
    {L"p\u0085.zip", false},  // a control character beyond ASCII
    {std::wstring(255, L'n'), true},
    {std::wstring(256, L'n'), false},
    {std::wstring(127, L'\u00fc'), true},         // 254 bytes
    {std::wstring(128, L'\u00fc'), false},        // 256 bytes in 128 characters
    {std::wstring(254, L'n') + L'\xDCFF', true},  // a native byte outside UTF-8 is one byte
};

TEST(IsSafePackageName, Names) {
    for (const NameCase& c : kNames) {
        EXPECT_EQ(IsSafePackageName(c.name), c.safe)
            << std::filesystem::path(c.name) << " (" << c.name.size() << " characters)";
    }
}

TEST(IsSafePackageName, ManifestWithAnUnsafeNameIsRefused) {
    vesk::test::TempDir dir;
    const std::wstring path = dir.wide() + L"veskversion.xml";
    const auto parses = [&](const std::string& update, const std::string& latest) {
        vesk::test::WriteFileBytes(dir / "veskversion.xml",
                                   "<root><updatepackage id='1' " + update +
                                       "/><updatepackage id='2' name='p2.zip'/>"
                                       "<latestpackage id='3' " +
                                       latest + "/></root>");
        UpdatePackageList list(1);
        return ParseManifest(path, list) || list.size() != 1;
    };
    for (const std::string unsafe : {"name='../p.zip'", "name='tmp\\..\\x.exe'", ""}) {
        EXPECT_FALSE(parses(unsafe, "name='full.zip'")) << unsafe;
        EXPECT_FALSE(parses("name='p1.zip'", unsafe)) << unsafe;
    }
    EXPECT_TRUE(parses("name='p1.zip'", "name='full.zip'"));
}

}  // namespace
