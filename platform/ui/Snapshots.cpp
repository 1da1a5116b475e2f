#include "ui/Snapshots.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <system_error>
#include <thread>

#include "ui/System.h"

namespace vesk::ui {

namespace {

constexpr const char* kSnapshotsVariable = "VESK_UI_SNAPSHOTS";

// Counted by the signal handler, which also wakes the watcher through the pipe; a lock-free
// atomic and write() are safe to touch there.
std::atomic<unsigned> g_requests{0};
static_assert(std::atomic<unsigned>::is_always_lock_free);
int g_requestWrite = -1;

void CountRequest(int) {
    g_requests.fetch_add(1, std::memory_order_relaxed);
    const char byte = 1;
    static_cast<void>(write(g_requestWrite, &byte, 1));
}

// Each request composes every window again, so that one with nothing new to show is
// photographed too.
void WatchRequests(int requests) {
    std::thread([requests] {
        for (;;) {
            char byte;
            const ssize_t got = read(requests, &byte, 1);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return;
            System::RunOnUiThread([] {
                if (System* system = System::Current()) system->RepaintAll();
            });
        }
    }).detach();
}

void ListenForRequests() {
    static const bool listening = [] {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
        fcntl(pipeFds[1], F_SETFL, O_NONBLOCK);  // the handler never waits
        g_requestWrite = pipeFds[1];
        WatchRequests(pipeFds[0]);
        struct sigaction action {};
        action.sa_handler = CountRequest;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGUSR1, &action, nullptr) == 0;
    }();
    static_cast<void>(listening);
}

// Titles become file names: letters and digits stay, the rest turns into "_".
std::string FileNamePart(const std::wstring& title) {
    std::string part;
    for (wchar_t c : title.substr(0, 40))
        part += c < 128 && std::iswalnum(static_cast<wint_t>(c)) ? static_cast<char>(c) : '_';
    return part.empty() ? "window" : part;
}

}  // namespace

std::string SnapshotFolderFromEnvironment() {
    const char* folder = getenv(kSnapshotsVariable);
    return folder ? folder : "";
}

Snapshots::Snapshots(std::string folder) : m_folder(std::move(folder)) {
    if (Enabled()) ListenForRequests();
}

std::vector<const char*> Snapshots::Presented(Hwnd hwnd) {
    std::vector<const char*> moments;
    if (!Enabled()) return moments;
    const unsigned requests = g_requests.load(std::memory_order_relaxed);
    if (requests != m_requestsSeen) {
        m_requestsSeen = requests;
        m_asked = m_presented;
        m_asked.insert(hwnd);
    }
    if (m_presented.insert(hwnd).second) moments.push_back("shown");
    if (m_asked.erase(hwnd)) moments.push_back("asked");
    return moments;
}

bool Snapshots::Closing(Hwnd hwnd) {
    m_asked.erase(hwnd);
    return m_presented.erase(hwnd) > 0 && Enabled();
}

bool Snapshots::Keep(const std::wstring& title, const char* moment,
                     const std::function<bool(const std::string&)>& save) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d-", ++m_taken);
    const std::string path = m_folder + "/" + number + FileNamePart(title) + "-" + moment + ".png";
    const std::string aside = path + ".part";
    std::error_code error;
    if (save(aside)) {
        std::filesystem::rename(aside, path, error);
        if (!error) return true;
    }
    std::filesystem::remove(aside, error);
    return false;
}

}  // namespace vesk::ui
