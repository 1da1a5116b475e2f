#pragma once
// A throw-away installation for end-to-end tests: a program folder holding a copy of the
// updater (and whatever a test adds), a home folder the per-user locations point into, and
// the environment that runs the updater there headless and with a virtual clock.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

namespace vesk::test {

class Installation {
public:
    Installation();

    std::filesystem::path programFolder() const { return m_root / "install"; }
    std::filesystem::path home() const { return m_root / "home"; }
    std::filesystem::path userSettings() const {
        return home() / ".config" / "VeskClient" / "Config.ini";
    }
    std::filesystem::path log() const { return programFolder() / "VESKUpdateLog.txt"; }

    // Places a copy of a built program under the given name.
    void AddProgram(const std::filesystem::path& built, const std::string& name);
    void AddFile(const std::string& name, std::string_view bytes);
    void AddDemoStringTable();
    // The demo's theme images under "themes/classic/".
    void AddTheme();
    // The stand-in client as "VeskClient.exe"; each start appends its arguments to
    // "VeskClient.starts".
    void AddClient();
    // The built transfer library as "TSPWrapperLib.dll".
    void AddTransferLibrary();
    // Each client start's arguments, in order.
    std::vector<std::string> ClientStarts() const;
    // The log's messages without their time stamps, in order.
    std::vector<std::string> LogMessages() const;
    // Environment added to every run of the updater (beside Environment()).
    void SetEnv(const std::string& name, const std::string& value) { m_extraEnv[name] = value; }

    std::map<std::string, std::string> Environment() const;
    ChildProcess::Options UpdaterOptions(std::vector<std::string> args = {}) const;
    std::string UpdaterPath() const { return (programFolder() / "VeskUpdate").string(); }
    // Runs the updater to its end; its exit code.
    int RunUpdater(std::vector<std::string> args = {}, std::string* errors = nullptr) const;

private:
    TempDir m_dir;
    std::filesystem::path m_root;
    std::map<std::string, std::string> m_extraEnv;
};

}  // namespace vesk::test
