#pragma once
// Fetching and running the service's installer: one per process, created on first use,
// its state guarded by its own recursive lock. Safe from any thread.

#include <mutex>
#include <optional>
#include <string>

#include "HttpGet.h"
#include "InstallerUrl.h"

namespace vesk::tsp {

inline constexpr std::size_t kSmallestInstaller = 1048576;
// Many times any installer's size: a longer download is no installer.
inline constexpr std::size_t kLargestInstaller = std::size_t{64} << 20;

class ServiceInstaller {
public:
    enum State { kIdle = 0, kRunning = 1, kInstalled = 2 };

    static ServiceInstaller& Instance();

    // Downloads the installer (up to kLargestInstaller bytes) as a new file into the
    // temporary folder, made afresh for it, and runs it with "/S --partner=PARTNER" when it
    // holds at least kSmallestInstaller bytes and, in an installation that carries its
    // publisher's key beside the library, when that key signed it (a refusal is logged);
    // true when it runs, already ran, or the service is installed.
    bool Start(const std::wstring& partner);
    // Notices a finished installer; an installed service whose registration is gone counts
    // as idle again.
    State Status();
    // Tests shorten the waits; the library keeps kHttpLimits.
    void SetDownloadLimits(HttpLimits limits);

private:
    ServiceInstaller() = default;
    // True unless the library's installation carries a key that did not sign installer.
    bool IsPublishers(const std::wstring& url, const std::string& installer);

    std::recursive_mutex m_mutex;
    State m_state = kIdle;
    std::optional<int> m_process;
    HttpLimits m_downloadLimits = kHttpLimits;
};

// "Tirsa_Temp/" under the local application-data folder (which is created when missing);
// nullopt when that folder is unknown or cannot be made.
std::optional<std::wstring> InstallerFolder();

}  // namespace vesk::tsp
