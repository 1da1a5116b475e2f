// The plug-in release before an install: when the question comes, what it says, and what
// each answer leads to. Browsers are real processes under the browsers' names; a browser
// holds a plug-in through the exclusive open.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BrowserPlugins.h"
#include "RunningClient.h"
#include "StringTable.h"
#include "TempDir.h"
#include "UpdateLog.h"
#include "fs/Files.h"
#include "text/Utf.h"

namespace {

namespace stdfs = std::filesystem;
using vesk::fs::ExclusiveFile;

constexpr int kOk = 1;
constexpr int kCancel = 2;

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class BrowserPluginsTest : public testing::Test {
protected:
    BrowserPluginsTest() {
        TheStringTable().Parse(
            vesk::text::UnitsToUtf16LeBytes(u"H\r\nIDS_POPDLG_RETRY_TEXT,g,1,0,0,Close:\r\n"
                                            u"IDS_POPDLG_RETRY_TITLE,g,1,0,0,In use\r\n"),
            0);
        EXPECT_TRUE(OpenUpdateLog(m_dir.wide().c_str(), L"log.txt", L"w+"));
        stdfs::create_directories(m_program / "plugins");
    }
    ~BrowserPluginsTest() override { CloseUpdateLog(); }

    std::wstring Ie() { return (m_program / "plugins/VeskPluginIE.dll").wstring(); }
    std::wstring Ff() { return (m_program / "plugins/npVeskPluginFF.dll").wstring(); }
    void Hold(const std::wstring& plugin) {
        vesk::test::WriteFileBytes(plugin, "dll");
        ASSERT_EQ(ExclusiveFile::Open(plugin, ExclusiveFile::Access::ReadWrite, false,
                                      m_holders.emplace_back()),
                  ExclusiveFile::Result::Ok);
    }
    // Answers in turn (cancel when they run out); before answering, the step may change
    // the world.
    PluginRelease Release(std::vector<int> answers, std::function<void()> step = {}) {
        m_texts.clear();
        return ReleaseBrowserPlugins(
            m_program.wstring() + L"/", [&](const std::wstring& text, const std::wstring& caption) {
                EXPECT_EQ(caption, L"In use");
                m_texts.push_back(text);
                if (step) step();
                return m_texts.size() <= answers.size() ? answers[m_texts.size() - 1] : kCancel;
            });
    }
    std::function<void()> CloseBrowsers() {
        return [this] { m_holders.clear(); };
    }
    std::string Log() { return vesk::test::ReadFileBytes(m_dir / "log.txt"); }

    vesk::test::TempDir m_dir;
    stdfs::path m_program = m_dir / "program";
    std::vector<ExclusiveFile> m_holders;
    std::vector<std::wstring> m_texts;
};

TEST_F(BrowserPluginsTest, FreeOrAbsentPluginsAskNothing) {
    EXPECT_EQ(Release({}), PluginRelease::GoOn);
    vesk::test::WriteFileBytes(Ie(), "dll");
    vesk::test::WriteFileBytes(Ff(), "dll");
    EXPECT_EQ(Release({}), PluginRelease::GoOn);
    EXPECT_TRUE(m_texts.empty());
    EXPECT_EQ(Log(), "");
}

TEST_F(BrowserPluginsTest, OkWhileStillHeldAsksAgain) {
    Hold(Ie());
    int asked = 0;
    EXPECT_EQ(Release({kOk, kOk, kOk},
                      [&] {
                          if (++asked == 3) m_holders.clear();
                      }),
              PluginRelease::GoOn);
    EXPECT_EQ(m_texts, std::vector<std::wstring>(3, L"Close:"));
    EXPECT_EQ(Count(Log(), "VeskPluginIE.dll is in use, asking to close the browsers."), 3);
    EXPECT_EQ(Count(Log(), "declined"), 0);
}

TEST_F(BrowserPluginsTest, AnyOtherAnswerGivesUp) {
    Hold(Ff());
    for (const int answer : {kCancel, 0}) {
        EXPECT_EQ(Release({answer}), PluginRelease::GiveUp) << answer;
        EXPECT_EQ(m_texts.size(), 1u) << answer;
    }
    EXPECT_EQ(Count(Log(), "npVeskPluginFF.dll is in use"), 2);
    EXPECT_EQ(Count(Log(), "Plug-in release declined,exit."), 2);
    EXPECT_EQ(ReleaseBrowserPlugins(m_program.wstring(), nullptr), PluginRelease::GiveUp);
}

// One browser holds both: once it is closed the second is found free as well. The second
// alone is asked about too.
TEST_F(BrowserPluginsTest, PluginsAreCheckedInTurn) {
    Hold(Ie());
    Hold(Ff());
    EXPECT_EQ(Release({kOk}, CloseBrowsers()), PluginRelease::GoOn);
    EXPECT_EQ(m_texts.size(), 1u);
    Hold(Ff());
    EXPECT_EQ(Release({kOk}, CloseBrowsers()), PluginRelease::GoOn);
    EXPECT_EQ(m_texts.size(), 1u);
    EXPECT_EQ(Count(Log(), "VeskPluginIE.dll is in use"), 1);
    EXPECT_EQ(Count(Log(), "npVeskPluginFF.dll is in use"), 1);
}

// A read-only plug-in cannot be replaced, whoever runs the updater.
TEST_F(BrowserPluginsTest, ReadOnlyPluginCountsAsHeld) {
    vesk::test::WriteFileBytes(Ie(), "dll");
    chmod(stdfs::path(Ie()).c_str(), 0444);
    EXPECT_TRUE(IsFileLocked(Ie()));
    EXPECT_FALSE(IsFileLocked(Ff()));
    EXPECT_EQ(Release({kOk}, [&] { chmod(stdfs::path(Ie()).c_str(), 0644); }), PluginRelease::GoOn);
    EXPECT_EQ(m_texts.size(), 1u);
}

TEST_F(BrowserPluginsTest, QuestionNamesTheRunningBrowsers) {
    const std::pair<std::vector<std::string>, std::wstring> cases[] = {
        {{"firefox.exe"}, L"Close:firefox.exe "},
        {{"chrome.exe", "firefox.exe"}, L"Close:firefox.exe chrome.exe"},
        {{"iexplore.exe", "firefox.exe", "chrome.exe"},
         L"Close:iexplore.exe firefox.exe chrome.exe"},
        {{"chrome.exe"}, L"Close:chrome.exe"},
    };
    int row = 0;
    for (const auto& [running, text] : cases) {
        std::vector<std::unique_ptr<vesk::test::RunningClient>> browsers;
        for (const std::string& name : running)
            browsers.push_back(std::make_unique<vesk::test::RunningClient>(
                m_dir / "browsers" / std::to_string(++row), name));
        Hold(Ie());
        EXPECT_EQ(Release({kOk}, CloseBrowsers()), PluginRelease::GoOn);
        EXPECT_EQ(m_texts, std::vector<std::wstring>{text}) << row;
    }
}

}  // namespace
