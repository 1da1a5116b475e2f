// The clocks a test can ask a child process for through VESK_CLOCK. Only builds made for
// tests honour it: a shipped program never lets its environment shorten its waits or name
// descriptors for it to read and write.

#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "clock/Clock.h"
#include "clock/ManualClock.h"
#include "clock/ScaledClock.h"

namespace vesk::clock {
#if VESK_TEST_SEAMS
namespace {

// Each sleep is announced on one descriptor and ends when the test answers on the other.
class PipeClock : public ManualClock {
public:
    PipeClock(int readFd, int writeFd) : m_readFd(readFd), m_writeFd(writeFd) {}

    void Sleep(Milliseconds duration) override {
        {
            std::lock_guard lock(m_pipeMutex);
            const std::string line = "sleep " + std::to_string(duration.count()) + "\n";
            WriteAll(line);
            char answer = 0;
            while (read(m_readFd, &answer, 1) < 0 && errno == EINTR) {
            }
        }
        ManualClock::Sleep(duration);
    }

private:
    void WriteAll(const std::string& text) {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(m_writeFd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            done += static_cast<size_t>(n);
        }
    }

    std::mutex m_pipeMutex;
    int m_readFd;
    int m_writeFd;
};

bool ParseScaledSetting(const char* setting, int& factor) {
    char rest = 0;
    return std::sscanf(setting, "scaled:%d%c", &factor, &rest) == 1 && factor >= 1;
}

bool ParsePipeSetting(const char* setting, int& readFd, int& writeFd) {
    return std::sscanf(setting, "pipe:%d:%d", &readFd, &writeFd) == 2 && readFd >= 0 &&
           writeFd >= 0;
}

}  // namespace
#endif

void InstallClockFromEnvironment() {
#if VESK_TEST_SEAMS
    const char* setting = std::getenv("VESK_CLOCK");
    if (!setting || !*setting) return;
    // Installed once for the life of the process, so they are never destroyed.
    if (std::strcmp(setting, "virtual") == 0) {
        static ManualClock* virtualClock = new ManualClock(SystemClock().LocalNow());
        Install(virtualClock);
        return;
    }
    int factor = 0;
    if (ParseScaledSetting(setting, factor)) {
        static ScaledClock* scaledClock = new ScaledClock(factor);
        Install(scaledClock);
        return;
    }
    int readFd = -1;
    int writeFd = -1;
    if (ParsePipeSetting(setting, readFd, writeFd)) {
        static PipeClock* pipeClock = new PipeClock(readFd, writeFd);
        Install(pipeClock);
    }
#endif
}

}  // namespace vesk::clock
