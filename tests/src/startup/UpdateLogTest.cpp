#include <gtest/gtest.h>

#include <clocale>
#include <regex>
#include <sstream>
#include <thread>

#include "TempDir.h"
#include "UpdateLog.h"
#include "clock/ManualClock.h"
#include "text/Utf.h"

namespace {

// Each test gets its own folder, a fixed time and a known character set.
class UpdateLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        vesk::clock::Install(&m_clock);
        std::setlocale(LC_CTYPE, "C");
    }
    void TearDown() override {
        CloseUpdateLog();
        vesk::clock::Install(nullptr);
        std::setlocale(LC_CTYPE, "C");
    }
    bool Open() { return OpenUpdateLog(m_dir.wide().c_str(), L"VESKUpdateLog.txt", L"w+"); }
    std::string Content() { return vesk::test::ReadFileBytes(m_dir / "VESKUpdateLog.txt"); }

    vesk::test::TempDir m_dir;
    vesk::clock::ManualClock m_clock{{2027, 3, 1, 9, 5, 3, 7}};
};

TEST_F(UpdateLogTest, EntryIsTimeStampTwoBlanksMessageCrLf) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(WriteUpdateLog(L"download failed,exit."));
    m_clock.Advance(std::chrono::milliseconds(1994));
    EXPECT_TRUE(WriteUpdateLog(L"%s: %d (%2.1f%%)", L"step", 42, 3.14159));
    EXPECT_EQ(Content(),
              "2027-03-01 09:05:03:007  download failed,exit.\r\n"
              "2027-03-01 09:05:05:001  step: 42 (3.1%)\r\n");
}

TEST_F(UpdateLogTest, CallSiteMessagesNameTheirFile) {
    ASSERT_TRUE(Open());
    WriteUpdateLog(L"CVeskUpdateDlg::OnTimer: TSP download error.(file: %s, line: %d)", VESK_WFILE,
                   7);
    EXPECT_NE(Content().find("error.(file: UpdateLogTest.cpp, line: 7)\r\n"), std::string::npos);
}

TEST_F(UpdateLogTest, SecondRunKeepsOnlyItsOwnLines) {
    ASSERT_TRUE(Open());
    WriteUpdateLog(L"first run");
    CloseUpdateLog();
    ASSERT_TRUE(Open());
    WriteUpdateLog(L"second run");
    EXPECT_EQ(Content(), "2027-03-01 09:05:03:007  second run\r\n");
}

TEST_F(UpdateLogTest, UnmappableCharactersBecomeTheDefaultCharacter) {
    ASSERT_TRUE(Open());
    WriteUpdateLog(L"Gr\u00FC\u00DFe %s", L"\u65E5");
    EXPECT_EQ(Content(), "2027-03-01 09:05:03:007  Gr??e ?\r\n");
}

TEST_F(UpdateLogTest, FailedOpenDropsEntriesQuietly) {
    const std::wstring missing = m_dir.wide() + L"no/such/folder/";
    EXPECT_FALSE(OpenUpdateLog(missing.c_str(), L"VESKUpdateLog.txt", L"w+"));
    EXPECT_TRUE(WriteUpdateLog(L"dropped"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "no"));
    EXPECT_FALSE(OpenUpdateLog(L"", L"VESKUpdateLog.txt", L"w+"));
    EXPECT_FALSE(OpenUpdateLog(nullptr, L"VESKUpdateLog.txt", L"w+"));
    EXPECT_FALSE(OpenUpdateLog(m_dir.wide().c_str(), nullptr, L"w+"));
    EXPECT_TRUE(CloseUpdateLog());
}

TEST_F(UpdateLogTest, AbsentFormatWritesNothing) {
    ASSERT_TRUE(Open());
    EXPECT_FALSE(WriteUpdateLog(nullptr));
    EXPECT_EQ(Content(), "");
}

TEST_F(UpdateLogTest, OverlongMessageIsCutNeverOverflows) {
    ASSERT_TRUE(Open());
    WriteUpdateLog(L"%s", std::wstring(5000, L'x'));
    const std::string content = Content();
    EXPECT_EQ(content.size(), 25 + kUpdateLogLineBytes);
    EXPECT_TRUE(content.ends_with("xx\r\n"));
}

TEST_F(UpdateLogTest, CutNeverSplitsAMultiByteCharacter) {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    ASSERT_TRUE(Open());
    WriteUpdateLog(L"%s", std::wstring(3000, L'\u00E9'));  // two bytes each in UTF-8
    const std::string content = Content();
    const std::string message = content.substr(25, content.size() - 27);
    EXPECT_TRUE(content.ends_with("\r\n"));
    EXPECT_EQ(message.size() % 2, 0u);
    EXPECT_LE(message.size() + 2, kUpdateLogLineBytes);
    EXPECT_TRUE(vesk::text::Utf8ToWideStrict(message).has_value());
}

// Every reading of the time is a millisecond later than the one before.
class SteppingClock : public vesk::clock::ManualClock {
public:
    vesk::clock::LocalTime LocalNow() override {
        Advance(std::chrono::milliseconds(1));
        return ManualClock::LocalNow();
    }
};

TEST_F(UpdateLogTest, ThreadsWriteWholeLinesWithTimeStampsInOrder) {
    SteppingClock clock;
    vesk::clock::Install(&clock);
    ASSERT_TRUE(Open());
    constexpr int kLines = 500;
    auto writer = [](const wchar_t* who) {
        for (int i = 0; i < kLines; ++i) WriteUpdateLog(L"%s line %d of a longer entry", who, i);
    };
    std::thread a(writer, L"alpha");
    std::thread b(writer, L"beta");
    a.join();
    b.join();

    std::istringstream lines(Content());
    const std::regex shape(
        R"(2027-03-01 09:0\d:\d\d:\d{3}  (alpha|beta) line \d+ of a longer entry\r)");
    int count = 0;
    std::string previous;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
        // Stamps are read inside the lock, so file order is time order.
        EXPECT_LT(previous, line.substr(0, 23));
        previous = line.substr(0, 23);
    }
    EXPECT_EQ(count, 2 * kLines);
    vesk::clock::Install(&m_clock);
}

}  // namespace
