#pragma once
// What the binding's tests share: the process set up for the real library (its harness
// loads it first, so it takes the test clock), a fresh update log per test, the texts of
// the progress, and the service's registration. Each test starts unbound with nothing
// installed and stops whatever the library started.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "LibraryHarness.h"
#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "StringTable.h"
#include "TempDir.h"
#include "TransferBinding.h"
#include "UpdateLog.h"
#include "registry/Registry.h"
#include "text/Utf.h"

namespace vesk::test {

inline const std::filesystem::path kBuiltService = TSP_SERVICE_PROGRAM;

class BindingTest : public ::testing::Test {
protected:
    BindingTest() : m_harness(LibraryHarness::Instance()) {
        ServiceLibraryHandle();
        m_harness.ForgetInstallation();
        m_harness.SetServiceOptions("");
        m_harness.TakeRequests();
        m_harness.TakeSleeps();
        OpenUpdateLog(m_dir.wide().c_str(), L"VESKUpdateLog.txt", L"w+");
        TheStringTable().Parse(text::UnitsToUtf16LeBytes(u"H\r\nIDS_GAMELIST_RATE,g,1,0,0,Rate\r\n"
                                                         u"IDS_GAMELIST_SPEED,g,1,0,0,KB/s\r\n"),
                               0);
    }
    ~BindingTest() override {
        ReleaseTransferLibrary();
        CloseUpdateLog();
        m_harness.StopStartedServices();
        m_harness.SetServiceOptions("");
    }

    // The messages logged so far, without their time stamps.
    std::vector<std::string> LogMessages() const {
        std::istringstream lines(ReadFileBytes(m_dir / "VESKUpdateLog.txt"));
        std::vector<std::string> messages;
        for (std::string line; std::getline(lines, line);)
            messages.push_back(line.substr(25, line.size() - 26));  // stamp, CR
        return messages;
    }

    // A service started by the test, logging its requests where the harness reads them.
    static std::vector<std::string> Logged(std::vector<std::string> options) {
        const auto log = LibraryHarness::Instance().RequestLogOptions();
        options.insert(options.end(), log.begin(), log.end());
        return options;
    }

    // Registers the folder holding "TSP.exe" as the installed service.
    static void RegisterService(const std::filesystem::path& folder) {
        const wchar_t* key = L"Software\\Tirsa Networks\\TSP";
        ASSERT_TRUE(registry::WriteString(key, L"Version Number", L"2.3.0.0"));
        ASSERT_TRUE(registry::WriteString(key, L"Program Directory", folder.wstring() + L"/"));
    }

    // Registers a "TSP.exe" that ends at once: launching it changes nothing.
    void RegisterInertService() {
        const std::filesystem::path folder = m_dir / "inert";
        std::filesystem::create_directories(folder);
        WriteFileBytes(folder / "TSP.exe", "#!/bin/sh\nexit 0\n");
        chmod((folder / "TSP.exe").c_str(), 0755);
        RegisterService(folder);
    }

    static std::wstring LibraryFolder() {
        return std::filesystem::path(TSP_WRAPPER_LIBRARY).parent_path().wstring() + L"/";
    }

    static long Count(const std::vector<std::string>& requests, const std::string& method) {
        return std::count(requests.begin(), requests.end(), method);
    }

    LibraryHarness& m_harness;
    TempDir m_dir;
};

}  // namespace vesk::test
