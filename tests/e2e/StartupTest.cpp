// Start-up of the real updater program in throw-away installations.

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "ChildProcess.h"
#include "Installation.h"
#include "RunningClient.h"
#include "WithoutFileLocks.h"
#include "fs/Files.h"

namespace {

using vesk::test::ChildProcess;
using vesk::test::Installation;
using vesk::test::ReadFileBytes;
using vesk::test::RunningClient;

std::string StartupLine(int language, const std::string& title) {
    return "Start-up done: language " + std::to_string(language) + ", title \"" + title + "\"";
}

struct LanguageCase {
    const char* what;
    const char* installSettings;  // nullptr: no file
    const char* userSettings;     // nullptr: no file
    std::vector<std::string> args;
    int language;
    const char* title;
    const char* userFileAfter;
};

const LanguageCase kLanguages[] = {
    {"installation's language copied to the user",
     "[Locale]\r\nLanguage=2\r\n",
     nullptr,
     {},
     2,
     "Vesk-Aktualisierung",
     "[Locale]\r\nLanguage=2\r\n"},
    {"user file without the key",
     "[Locale]\r\nLanguage=2\r\n",
     "[Other]\r\nx=1\r\n",
     {},
     2,
     "Vesk-Aktualisierung",
     "[Other]\r\nx=1\r\n\r\n[Locale]\r\nLanguage=2\r\n"},
    {"fourth argument wins",
     "[Locale]\r\nLanguage=2\r\n",
     nullptr,
     {"7", "abc", "def", "3"},
     3,
     "Mise à jour de Vesk",
     "[Locale]\r\nLanguage=3\r\n"},
    {"fourth argument 0 ignored",
     "[Locale]\r\nLanguage=2\r\n",
     nullptr,
     {"7", "abc", "def", "0"},
     2,
     "Vesk-Aktualisierung",
     "[Locale]\r\nLanguage=2\r\n"},
    {"fourth argument x ignored",
     "[Locale]\r\nLanguage=2\r\n",
     nullptr,
     {"7", "abc", "def", "x"},
     2,
     "Vesk-Aktualisierung",
     "[Locale]\r\nLanguage=2\r\n"},
    {"three arguments ignored",
     "[Locale]\r\nLanguage=2\r\n",
     nullptr,
     {"7", "abc", "3"},
     2,
     "Vesk-Aktualisierung",
     "[Locale]\r\nLanguage=2\r\n"},
    {"five arguments ignored",
     "[Locale]\r\nLanguage=2\r\n",
     nullptr,
     {"7", "abc", "def", "3", "9"},
     2,
     "Vesk-Aktualisierung",
     "[Locale]\r\nLanguage=2\r\n"},
    {"no language anywhere", nullptr, nullptr, {}, 0, "Vesk Update", "[Locale]\r\nLanguage=0\r\n"},
    {"the user's language stands",
     "[Locale]\r\nLanguage=2\r\n",
     "[Locale]\nLanguage=1\n",
     {},
     1,
     "Vesk Update",
     "[Locale]\nLanguage=1\n"},
};

TEST(Startup, SettlesTheLanguage) {
    for (const auto& c : kLanguages) {
        SCOPED_TRACE(c.what);
        Installation install;
        install.AddDemoStringTable();
        if (c.installSettings) install.AddFile("Config.ini", c.installSettings);
        if (c.userSettings) vesk::test::WriteFileBytes(install.userSettings(), c.userSettings);

        EXPECT_EQ(install.RunUpdater(c.args), 1);
        EXPECT_EQ(ReadFileBytes(install.userSettings()), c.userFileAfter);
        EXPECT_NE(ReadFileBytes(install.log()).find(StartupLine(c.language, c.title)),
                  std::string::npos)
            << ReadFileBytes(install.log());
    }
}

TEST(Startup, AbsentStringTableIsCreatedEmptyAndTheRunGoesOn) {
    Installation install;
    std::string errors;
    EXPECT_EQ(install.RunUpdater({}, &errors), 1);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(std::filesystem::exists(install.programFolder() / "VeskClient_String_Table.dat"));
    EXPECT_NE(ReadFileBytes(install.log()).find(StartupLine(0, "")), std::string::npos);
}

TEST(Startup, StringTableHeldByAnotherProgramShowsTheErrorBox) {
    Installation install;
    install.AddDemoStringTable();
    vesk::fs::ExclusiveFile holder;
    const auto table = install.programFolder() / "VeskClient_String_Table.dat";
    ASSERT_EQ(vesk::fs::ExclusiveFile::Open(
                  table.wstring(), vesk::fs::ExclusiveFile::Access::ReadWrite, false, holder),
              vesk::fs::ExclusiveFile::Result::Ok);
    std::string errors;
    EXPECT_EQ(install.RunUpdater({}, &errors), 1);
    EXPECT_NE(errors.find("The file VeskClient_String_Table.dat cannot be accessed."),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("Error!"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(install.log()), "");
}

// An updater held at its start-up pause through a pipe clock.
class PausedUpdater {
public:
    explicit PausedUpdater(const Installation& install) {
        EXPECT_EQ(pipe2(m_toChild, O_CLOEXEC), 0);
        EXPECT_EQ(pipe2(m_fromChild, O_CLOEXEC), 0);
        auto options = install.UpdaterOptions();
        options.setEnv["VESK_CLOCK"] = "pipe:100:101";
        options.passFds = {{m_toChild[0], 100}, {m_fromChild[1], 101}};
        EXPECT_TRUE(m_process.Start(install.UpdaterPath(), options));
        close(m_toChild[0]);
        close(m_fromChild[1]);
    }
    ~PausedUpdater() {
        close(m_toChild[1]);
        close(m_fromChild[0]);
    }
    // Blocks until the updater asks to sleep; what it asked for.
    std::string NextSleep() {
        std::string line;
        char c;
        while (read(m_fromChild[0], &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    void Resume() { EXPECT_EQ(write(m_toChild[1], "x", 1), 1); }
    ChildProcess& process() { return m_process; }

private:
    int m_toChild[2];
    int m_fromChild[2];
    ChildProcess m_process;
};

TEST(Startup, SecondCopyEndsAtOnceAndLeavesTheLogAlone) {
    Installation install;
    install.AddDemoStringTable();
    PausedUpdater first(install);
    ASSERT_EQ(first.NextSleep(), "sleep 1000");

    std::ofstream(install.log(), std::ios::app) << "first copy's line\r\n";
    std::string errors;
    EXPECT_EQ(install.RunUpdater({}, &errors), 1);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(ReadFileBytes(install.log()), "first copy's line\r\n");

    first.Resume();
    EXPECT_EQ(first.process().Wait(), 1);
}

TEST(Startup, NewCopyStartsAfterACrashedOne) {
    Installation install;
    install.AddDemoStringTable();
    {
        PausedUpdater crashed(install);
        ASSERT_EQ(crashed.NextSleep(), "sleep 1000");
        crashed.process().Kill();
        crashed.process().Wait();
    }
    EXPECT_EQ(install.RunUpdater(), 1);
    EXPECT_NE(ReadFileBytes(install.log()).find("Start-up done"), std::string::npos);
}

TEST(Startup, RunningClientOfTheSameFolderIsStartedAgainAndNoUpdateRuns) {
    vesk::test::BecomeSubreaper();
    Installation install;
    install.AddDemoStringTable();
    RunningClient client(install.programFolder());

    EXPECT_EQ(install.RunUpdater({"7", "abc", "def", "3"}), 1);
    // The second start outlives the updater; it is ours to reap once the updater is gone.
    const auto [pid, code] = vesk::test::ReapAnyChild();
    EXPECT_NE(pid, client.pid());
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFileBytes(install.programFolder() / "VeskClient.starts"), "--stay\n\n");
    EXPECT_EQ(ReadFileBytes(install.log()), "");
}

TEST(Startup, ClientRunningFromAnotherFolderDoesNotCount) {
    Installation install;
    install.AddDemoStringTable();
    vesk::test::TempDir other;
    RunningClient client(other.path());

    EXPECT_EQ(install.RunUpdater(), 1);
    EXPECT_EQ(ReadFileBytes(other / "VeskClient.starts"), "--stay\n");
    EXPECT_NE(ReadFileBytes(install.log()).find("Start-up done"), std::string::npos);
}

TEST(Startup, RunsWhereFilesCannotBeLockedAndSaysSo) {
    Installation install;
    install.AddDemoStringTable();
    ChildProcess updater;
    bool started = false;
    if (!vesk::test::RunWithoutFileLocks(
            [&] { started = updater.Start(install.UpdaterPath(), install.UpdaterOptions()); }))
        GTEST_SKIP() << "no system call filter here";
    ASSERT_TRUE(started);
    EXPECT_EQ(updater.Wait(), 1);
    EXPECT_EQ(updater.Error(), "");
    const std::string log = ReadFileBytes(install.log());
    EXPECT_NE(log.find("Instance guard unavailable (the lock file cannot be locked, error " +
                       std::to_string(ENOLCK) + "), running anyway."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(StartupLine(0, "Vesk Update")), std::string::npos) << log;
}

// A program folder beside the installation's, named with bytes that are not UTF-8 (a lone
// 0xFF, a lead byte alone, an encoded surrogate), holding the updater and the demo table.
std::filesystem::path ProgramFolderNamed(Installation& install, const std::string& name) {
    install.AddDemoStringTable();
    const auto folder = install.programFolder().parent_path() / name;
    std::filesystem::create_directories(folder);
    for (const char* file : {"VeskUpdate", "VeskClient_String_Table.dat"})
        std::filesystem::copy_file(install.programFolder() / file, folder / file);
    return folder;
}

int RunUpdaterIn(const Installation& install, const std::filesystem::path& folder) {
    ChildProcess updater;
    if (!updater.Start((folder / "VeskUpdate").string(), install.UpdaterOptions())) return -1;
    return updater.Wait();
}

TEST(Startup, ProgramFolderWhoseNameIsNotUtf8ReadsItsOwnFiles) {
    Installation install;
    const auto folder = ProgramFolderNamed(install, "inst\xFF\xC3-\xED\xA0\x80");
    vesk::test::WriteFileBytes(folder / "Config.ini", "[Locale]\r\nLanguage=2\r\n");

    EXPECT_EQ(RunUpdaterIn(install, folder), 1);
    EXPECT_EQ(ReadFileBytes(install.userSettings()), "[Locale]\r\nLanguage=2\r\n");
    const std::string log = ReadFileBytes(folder / "VESKUpdateLog.txt");
    EXPECT_NE(log.find(StartupLine(2, "Vesk-Aktualisierung")), std::string::npos) << log;
}

TEST(Startup, ClientInAFolderThatDiffersOnlyInAByteThatIsNotUtf8DoesNotCount) {
    Installation install;
    const auto folder = ProgramFolderNamed(install, "inst\xFF");
    RunningClient client(install.programFolder().parent_path() / "inst\xFE");

    EXPECT_EQ(RunUpdaterIn(install, folder), 1);
    EXPECT_EQ(
        ReadFileBytes(install.programFolder().parent_path() / "inst\xFE" / "VeskClient.starts"),
        "--stay\n");
    EXPECT_NE(ReadFileBytes(folder / "VESKUpdateLog.txt").find("Start-up done"), std::string::npos);
}

}  // namespace
