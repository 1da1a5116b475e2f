#include "LibraryHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "HttpGet.h"
#include "registry/Registry.h"

namespace vesk::test {
namespace {

std::string ReadLineFrom(int fd, bool& ended) {
    std::string line;
    char c = 0;
    ssize_t n = 0;
    while ((n = read(fd, &c, 1)) == 1 && c != '\n') line += c;
    ended = n <= 0;
    return line;
}

void Set(const char* name, const std::filesystem::path& value) {
    setenv(name, value.c_str(), 1);
}

// Waits for a started service to end after the shutdown request; one that is still there
// after a while (it never heard the request, or hangs) is killed, so no test waits for ever.
void EndService(pid_t pid) {
    constexpr int kShutdownGraceMs = 20000;
    const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (handle >= 0) {
        pollfd ended{handle, POLLIN, 0};
        int ready = 0;
        while ((ready = poll(&ended, 1, kShutdownGraceMs)) < 0 && errno == EINTR) {
        }
        close(handle);
        if (ready == 0) {
            std::fprintf(stderr, "service %d did not end on shutdown: killed\n", pid);
            kill(pid, SIGKILL);
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

// The harness is never destroyed (its threads read on until the process ends), so its user
// folders are removed at exit, by the process that made them only.
LibraryHarness& LibraryHarness::Instance() {
    static LibraryHarness* const harness = [] {
        static const pid_t maker = getpid();
        auto* const made = new LibraryHarness;
        static const std::filesystem::path home = made->m_home.path();
        std::atexit([] {
            std::error_code ignored;
            if (getpid() == maker) std::filesystem::remove_all(home, ignored);
        });
        return made;
    }();
    return *harness;
}

LibraryHarness::LibraryHarness()
    : m_requestLog(m_home / "requests.log"), m_announcePath(m_home / "announce.fifo") {
    Set("HOME", m_home.path());
    Set("XDG_CONFIG_HOME", m_home / "config");
    Set("XDG_CACHE_HOME", m_home / "cache");
    Set("XDG_DATA_HOME", m_home / "data");
    // Nothing listens there: an installer download is refused unless a test serves one.
    setenv("VESK_TSP_DOWNLOAD_SERVER", "http://127.0.0.1:1", 1);
    // Services started by the library or the installer are adopted here when orphaned.
    BecomeSubreaper();
    pipe2(m_clockIn, O_CLOEXEC);
    pipe2(m_clockOut, O_CLOEXEC);
    // Found by its path: a started program inherits none of our descriptors. Opened for
    // writing too, so the reader never sees an end between two services.
    mkfifo(m_announcePath.c_str(), 0600);
    m_announce = open(m_announcePath.c_str(), O_RDWR | O_CLOEXEC);
    const std::string clock =
        "pipe:" + std::to_string(m_clockOut[0]) + ":" + std::to_string(m_clockIn[1]);
    setenv("VESK_CLOCK", clock.c_str(), 1);
    SetServiceOptions("");
    m_clockThread = std::thread([this] { DriveClock(); });
    m_announceThread = std::thread([this] { ReadAnnouncements(); });
    m_clockThread.detach();
    m_announceThread.detach();
}

void LibraryHarness::SetServiceOptions(const std::string& extra) {
    const std::string options = "--ready-file " + m_announcePath.string() + " --request-log " +
                                m_requestLog.string() + " " + extra;
    setenv("VESK_TSP_OPTIONS", options.c_str(), 1);
}

std::vector<std::string> LibraryHarness::TakeRequests() {
    std::vector<std::string> methods = TakeRequestLines();
    for (std::string& line : methods) line.resize(std::min(line.find(' '), line.size()));
    return methods;
}

std::vector<std::string> LibraryHarness::TakeRequestLines() {
    std::vector<std::string> lines;
    {
        std::ifstream in(m_requestLog);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    std::ofstream(m_requestLog, std::ios::trunc);
    return lines;
}

std::vector<long> LibraryHarness::TakeSleeps() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_sleeps, {});
}

std::size_t LibraryHarness::Announcements() {
    std::lock_guard lock(m_mutex);
    return m_announcements.size();
}

std::string LibraryHarness::WaitForAnnouncement(std::size_t index) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_announcements.size() > index; });
    return m_announcements[index];
}

void LibraryHarness::HoldSleepsForNextStart(bool untilParentEnds) {
    std::lock_guard lock(m_mutex);
    m_holdUntil = m_announcements.size() + 1;
    m_holdForParent = untilParentEnds;
}

void LibraryHarness::StopStartedServices() {
    tsp::HttpGet(L"http://127.0.0.1:60524/rest/shutdown?format=xml");
    std::vector<std::string> started;
    {
        std::lock_guard lock(m_mutex);
        started.assign(m_announcements.begin() + static_cast<long>(m_stopped),
                       m_announcements.end());
        m_stopped = m_announcements.size();
    }
    for (const std::string& line : started) {
        const pid_t pid = static_cast<pid_t>(std::atol(line.c_str() + line.find(' ') + 1));
        if (pid > 0) EndService(pid);
    }
}

void LibraryHarness::ForgetInstallation() {
    registry::DeleteKey(L"Software\\Tirsa Networks");
    std::error_code ignored;
    std::filesystem::remove_all(m_home / "cache" / "Tirsa_Temp", ignored);
    std::filesystem::remove_all(m_home / "data", ignored);
}

void LibraryHarness::DriveClock() {
    for (;;) {
        bool ended = false;
        const std::string line = ReadLineFrom(m_clockIn[0], ended);
        if (ended) return;
        {
            std::lock_guard lock(m_mutex);
            m_sleeps.push_back(std::atol(line.c_str() + line.find(' ') + 1));
        }
        AwaitHold();
        const char go = 1;
        static_cast<void>(write(m_clockOut[1], &go, 1));
    }
}

void LibraryHarness::AwaitHold() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_announcements.size() >= m_holdUntil; });
    if (!m_holdForParent) return;
    m_holdForParent = false;
    // "listening PID PPID": the parent ended, not yet reaped, so its owner still sees it.
    std::istringstream words(m_announcements[m_holdUntil - 1]);
    std::string word;
    pid_t pid = 0, parent = 0;
    words >> word >> pid >> parent;
    lock.unlock();
    siginfo_t info{};
    while (parent > 0 && waitid(P_PID, static_cast<id_t>(parent), &info, WEXITED | WNOWAIT) < 0 &&
           errno == EINTR) {
    }
}

void LibraryHarness::ReadAnnouncements() {
    for (;;) {
        bool ended = false;
        const std::string line = ReadLineFrom(m_announce, ended);
        if (ended) return;
        std::lock_guard lock(m_mutex);
        m_announcements.push_back(line);
        m_changed.notify_all();
    }
}

}  // namespace vesk::test
