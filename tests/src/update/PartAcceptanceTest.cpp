// A direct download's part once whole: checked once, through the descriptor the install reads,
// renamed to the package's name only when it matches, and gone with its validator when not;
// and the part files of packages the run no longer selects.

#include <unistd.h>

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <filesystem>

#include "PackageAcceptance.h"
#include "PartFiles.h"
#include "TempDir.h"
#include "UpdateLog.h"

namespace {

namespace fs = std::filesystem;
using vesk::test::ReadFileBytes;
using vesk::test::WriteFileBytes;

const char kPackage[] = "ABCDEFGHIJ release bytes";
const wchar_t kEnd[] = L".";

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string ReadHeld(int fd, std::size_t size) {
    std::string bytes(size, '\0');
    const ssize_t n = pread(fd, bytes.data(), size, 0);
    bytes.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return bytes;
}

class PartAcceptanceTest : public testing::Test {
protected:
    PartAcceptanceTest() {
        fs::create_directories(m_dir / "tmp");
        m_state.programFolder = m_dir.wide();
        m_package.name = L"patch-1.1.zip";
        m_package.size = sizeof kPackage - 1;
        m_package.md5 = Md5Hex(kPackage);
        OpenUpdateLog(m_dir.wide().c_str(), L"log.txt", L"w+");
    }
    ~PartAcceptanceTest() override { CloseUpdateLog(); }

    vesk::test::TempDir m_dir;
    UpdateState m_state;
    UpdatePackage m_package;
    fs::path m_part = m_dir / "tmp/patch-1.1.zip.part";
    fs::path m_local = m_dir / "tmp/patch-1.1.zip";
};

TEST_F(PartAcceptanceTest, AMatchingPartIsRenamedAndWhatTheInstallReadsIsWhatWasChecked) {
    WriteFileBytes(m_part, kPackage);
    WriteFileBytes(m_part.string() + ".validator", "\"v1\"");
    ASSERT_TRUE(AcceptDownloadedPart(m_state, m_package, kEnd));
    EXPECT_FALSE(fs::exists(m_part));
    EXPECT_FALSE(fs::exists(m_part.string() + ".validator"));
    EXPECT_EQ(ReadFileBytes(m_local), kPackage);
    // Another file renamed over the name later changes nothing the install reads.
    WriteFileBytes(m_dir / "other", "replaced after the check");
    fs::rename(m_dir / "other", m_local);
    const auto held = m_state.checkedPackages.find(m_state.LocalPathOf(m_package));
    ASSERT_NE(held, m_state.checkedPackages.end());
    EXPECT_EQ(ReadHeld(held->second->Descriptor(), 64), kPackage);
}

TEST_F(PartAcceptanceTest, APartThatDiffersGoesWithItsValidatorAndNothingTakesTheName) {
    WriteFileBytes(m_part, std::string(sizeof kPackage - 1, 'x'));
    WriteFileBytes(m_part.string() + ".validator", "\"v1\"");
    WriteFileBytes(m_local, "an older download under the name");
    EXPECT_FALSE(AcceptDownloadedPart(m_state, m_package, kEnd));
    EXPECT_FALSE(fs::exists(m_part));
    EXPECT_FALSE(fs::exists(m_part.string() + ".validator"));
    EXPECT_TRUE(m_state.checkedPackages.empty());
    EXPECT_NE(ReadFileBytes(m_dir / "log.txt").find("does not match its md5"), std::string::npos);
}

TEST_F(PartAcceptanceTest, PartsOutsideTheSelectionGoAndThoseInsideCountAsDone) {
    UpdatePackage older = m_package;
    older.name = L"patch-1.0.zip";
    UpdatePackage latest = m_package;
    latest.name = L"full-1.1.zip";
    latest.size = 1000;
    m_state.packages = {older, m_package, latest};
    m_state.currentIndex = 1;  // the chain from 1.1 on; the latest is not fetched
    WriteFileBytes(m_part, std::string(30, 'p'));  // more than the package's size
    WriteFileBytes(m_part.string() + ".validator", "v");
    for (const char* stale : {"patch-1.0.zip.part", "patch-1.0.zip.part.validator",
                              "full-1.1.zip.part", "gone.zip.part"})
        WriteFileBytes(m_dir / "tmp" / stale, "old");
    WriteFileBytes(m_dir / "tmp/notes.txt", "kept");
    WriteFileBytes(m_dir / "tmp/service.zip.part0", "kept");

    DeleteStaleParts(m_state);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_dir / "tmp"))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"notes.txt", "patch-1.1.zip.part",
                                        "patch-1.1.zip.part.validator", "service.zip.part0"}));
    EXPECT_EQ(ResumedBytes(m_state), m_package.size);
}

}  // namespace
