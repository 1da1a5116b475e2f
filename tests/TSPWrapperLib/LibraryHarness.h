#pragma once
// The test process as the transfer library sees it, set up once before the library is
// loaded: user folders of its own (HOME and the XDG folders), the library's clock driven
// from here through VESK_CLOCK=pipe, and every service the library or the installer starts
// announcing itself on a FIFO ("listening PID"), so tests wait for it instead of sleeping.

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

namespace vesk::test {

class LibraryHarness {
public:
    static LibraryHarness& Instance();

    const TempDir& home() const { return m_home; }
    // The FIFO a started service announces itself on, by appending one line.
    const std::filesystem::path& announcePath() const { return m_announcePath; }
    // Options of every service the library starts from now on (VESK_TSP_OPTIONS), beside
    // the announcement and the request log.
    void SetServiceOptions(const std::string& extra);
    // Options that make a service the test starts itself log its requests too.
    std::vector<std::string> RequestLogOptions() const {
        return {"--request-log", m_requestLog.string()};
    }
    // The method of every request the services saw since the last call, in order.
    std::vector<std::string> TakeRequests();
    // The same, each followed by " netToken=TOKEN" when the request carried one.
    std::vector<std::string> TakeRequestLines();
    // Every sleep of the library since the last call, in milliseconds.
    std::vector<long> TakeSleeps();

    std::size_t Announcements();
    // Blocks until announcement `index` (counted from 0) has arrived; its line.
    std::string WaitForAnnouncement(std::size_t index);
    // The library's next sleep, and every later one, waits until one more service (or
    // installer) has announced itself; with untilParentEnds, also until the process that
    // started it (the installer) has ended.
    void HoldSleepsForNextStart(bool untilParentEnds = false);
    // Shuts the service down and waits until every announced process has ended; one that a
    // shutdown does not end is killed.
    void StopStartedServices();
    // Forgets the service's registration and the downloaded installer.
    void ForgetInstallation();

private:
    LibraryHarness();
    void DriveClock();
    void AwaitHold();
    void ReadAnnouncements();

    TempDir m_home;
    std::filesystem::path m_requestLog;
    int m_clockIn[2] = {-1, -1};   // the library writes "sleep MS" here
    int m_clockOut[2] = {-1, -1};  // we answer with one byte
    std::filesystem::path m_announcePath;
    int m_announce = -1;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_announcements;
    std::size_t m_stopped = 0;
    std::size_t m_holdUntil = 0;
    bool m_holdForParent = false;
    std::vector<long> m_sleeps;
    std::thread m_clockThread;
    std::thread m_announceThread;
};

}  // namespace vesk::test
