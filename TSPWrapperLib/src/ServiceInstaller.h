#pragma once
// Fetching and running the service's installer: one per process, created on first use,
// its state guarded by its own recursive lock. Safe from any thread.

#include <mutex>
#include <optional>
#include <string>

#include "HttpGet.h"

namespace vesk::tsp {

inline constexpr std::size_t kSmallestInstaller = 1048576;

class ServiceInstaller {
public:
    enum State { kIdle = 0, kRunning = 1, kInstalled = 2 };

    static ServiceInstaller& Instance();

    // Downloads the installer into the temporary folder and runs it with
    // "/S --partner=PARTNER"; true when it runs, already ran, or the service is installed.
    bool Start(const std::wstring& partner);
    // Notices a finished installer; an installed service whose registration is gone counts
    // as idle again.
    State Status();
    // Tests shorten the waits; the library keeps kHttpLimits.
    void SetDownloadLimits(HttpLimits limits);

private:
    ServiceInstaller() = default;

    std::recursive_mutex m_mutex;
    State m_state = kIdle;
    std::optional<int> m_process;
    HttpLimits m_downloadLimits = kHttpLimits;
};

// The installer's address: the download server (VESK_TSP_DOWNLOAD_SERVER when set) and
// the fixed path "/tirsa/tsp/TSPInst.exe".
std::wstring InstallerUrl();
// "Tirsa_Temp/" under the local application-data folder, created when missing; nullopt
// when that folder is unknown or cannot be made.
std::optional<std::wstring> InstallerFolder();

}  // namespace vesk::tsp
