// Start-up when the per-user locations are missing or unusable, and with settings no
// installation should hold.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "ChildProcess.h"
#include "Installation.h"

namespace {

using vesk::test::ChildProcess;
using vesk::test::Installation;
using vesk::test::ReadFileBytes;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Without a home folder the updater ends at once: no box, no log, nothing written.
TEST(StartupUserFolder, NoHomeFolderEndsQuietly) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run as a user the system does not know";
    Installation install;
    install.AddDemoStringTable();
    // The stranger must reach the program through every folder above it.
    for (auto folder = install.programFolder(); folder != folder.root_path();
         folder = folder.parent_path()) {
        struct stat info {};
        if (stat(folder.c_str(), &info) == 0) chmod(folder.c_str(), info.st_mode | 0755);
    }
    ChildProcess updater;
    ChildProcess::Options options = install.UpdaterOptions();
    options.setEnv.erase("HOME");
    options.setEnv.erase("XDG_CONFIG_HOME");
    options.unsetEnv.insert(options.unsetEnv.end(), {"HOME", "XDG_CONFIG_HOME"});
    options.args.insert(options.args.begin(), {"--reuid=54321", "--regid=54321", "--clear-groups",
                                               install.UpdaterPath()});
    ASSERT_TRUE(updater.Start("/usr/bin/setpriv", options));
    EXPECT_EQ(updater.Wait(), 1);
    EXPECT_EQ(updater.Error(), "");
    EXPECT_FALSE(std::filesystem::exists(install.log()));
}

// A user folder that cannot be made leaves the user's settings at their defaults; the run
// goes on with the installation's language.
TEST(StartupUserFolder, UserFolderThatCannotBeMadeReadsAsDefaults) {
    Installation install;
    install.AddDemoStringTable();
    install.AddFile("Config.ini", "[Locale]\r\nLanguage=2\r\n");
    const auto notAFolder = install.home() / "plain-file";
    vesk::test::WriteFileBytes(notAFolder, "");
    ChildProcess updater;
    ChildProcess::Options options = install.UpdaterOptions();
    options.setEnv["HOME"] = notAFolder.string();
    options.setEnv["XDG_CONFIG_HOME"] = (notAFolder / ".config").string();
    ASSERT_TRUE(updater.Start(install.UpdaterPath(), options));
    EXPECT_EQ(updater.Wait(), 1);
    EXPECT_EQ(updater.Error(), "");
    const std::string log = ReadFileBytes(install.log());
    EXPECT_TRUE(Contains(log, "Start-up done: language 2, title \"Vesk-Aktualisierung\"")) << log;
}

// Any number the user file holds is a language: the extremes neither overflow nor crash.
TEST(StartupUserFolder, ExtremeLanguageNumbers) {
    struct Case {
        const char* stored;
        const char* logged;
        const char* title;
    };
    for (const Case& c : {Case{"-2147483648", "-2147483648", "Vesk Update"},
                          Case{"-1", "0", "Vesk Update"},  // -1 means "not set"
                          Case{"2147483647", "2147483647", ""}}) {
        SCOPED_TRACE(c.stored);
        Installation install;
        install.AddDemoStringTable();
        vesk::test::WriteFileBytes(install.userSettings(),
                                   std::string("[Locale]\r\nLanguage=") + c.stored + "\r\n");
        std::string errors;
        EXPECT_EQ(install.RunUpdater({}, &errors), 1);
        EXPECT_EQ(errors, "");
        const std::string log = ReadFileBytes(install.log());
        EXPECT_TRUE(Contains(log, std::string("Start-up done: language ") + c.logged +
                                      ", title \"" + c.title + "\""))
            << log;
    }
}

}  // namespace
