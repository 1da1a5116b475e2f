// A soak of the library and the stand-in service: 50 transfers (held in flight, finishing,
// cancelled and restarted) while 8 host threads poll the library as a client does, for
// VESK_LOAD_SECONDS (60 by default). Every call must come back with a plain answer, and
// neither process may keep the descriptors or the memory the load made it take.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "clock/Clock.h"

namespace {

using vesk::clock::Milliseconds;

constexpr int kHeldCount = 20;  // held in flight through a round, let go and checked at its end
constexpr int kFinishingCount = 15;  // small packages, checked and fetched again once complete
constexpr int kCancelledCount = 15;  // large packages, cancelled while they run and started again
constexpr int kTransfers = kHeldCount + kFinishingCount + kCancelledCount;
constexpr int kPollers = 8;
constexpr long kDefaultSeconds = 60;

constexpr std::size_t kHeldSize = 1 << 20;
// Past the first two of its four ranges, so each held transfer keeps two fetches waiting.
constexpr std::uint64_t kHoldAt = 640 << 10;
constexpr std::size_t kSmallSize = 200 << 10;
constexpr std::size_t kLargeSize = 4 << 20;
// A churned transfer is replaced at most this often: the churn is steady, not in bursts.
constexpr Milliseconds kCyclePeriod{2000};
// Long enough for the heap's per-thread arenas and the service's pool to reach their size.
constexpr long kWarmUpShare = 6;
// Held transfers are let go and every transfer is started afresh on a new package server
// this often: the service gives up on a fetch that has been silent for 30 s, and the server
// keeps a record of every request, which must not pass for growth of what is measured.
constexpr Milliseconds kRoundPeriod{20000};
// Held transfers finish within this once released, or the test says which did not.
constexpr Milliseconds kFinishLimit{60000};

// Statuses of a transfer that exists.
constexpr int kStarting = 202, kDownloading = 204, kComplete = 206;

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

Milliseconds Now() {
    return vesk::clock::SystemClock().Now();
}

long LoadSeconds() {
    const char* text = std::getenv("VESK_LOAD_SECONDS");
    const long seconds = text ? std::atol(text) : 0;
    return seconds > 0 ? seconds : kDefaultSeconds;
}

int CountFds(pid_t pid) {
    std::error_code error;
    const std::filesystem::directory_iterator entries("/proc/" + std::to_string(pid) + "/fd",
                                                      error);
    return error ? -1 : static_cast<int>(std::distance(entries, {}));
}

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) return std::atol(line.c_str() + 6);
    }
    return -1;
}

// A heap that grows by a leak of a few hundred bytes per call passes this within the run
// (tens of thousands of calls); what stays below is the allocator's arenas settling and
// fragmentation, which a soak of a few seconds cannot rule out.
// A sanitized build holds freed memory back on purpose, so there the sizes are only printed.
bool MemoryFlat(long startKb, long endKb) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#endif
#endif
    constexpr long kSlackKb = 8 * 1024;
    return endKb <= startKb + startKb / 4 + kSlackKb;
}

std::string PackageBytes(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 131 % 251);
    return bytes;
}

// What came back from the library that is not a plain good answer, by kind.
class Tally {
public:
    void Call() { ++m_calls; }
    void Note(const std::string& kind) {
        std::lock_guard lock(m_mutex);
        ++m_kinds[kind];
    }
    long calls() const { return m_calls; }
    std::map<std::string, long> kinds() {
        std::lock_guard lock(m_mutex);
        return m_kinds;
    }

private:
    std::atomic<long> m_calls{0};
    std::mutex m_mutex;
    std::map<std::string, long> m_kinds;
};

enum class Role { kHeld, kFinishing, kCancelled };

struct Slot {
    Role role = Role::kHeld;
    std::string route;
    std::filesystem::path file;
    const std::string* bytes = nullptr;
    std::unique_ptr<vesk::test::TempDir> dest = std::make_unique<vesk::test::TempDir>();
    Milliseconds due{0};
    // Read by the pollers under the load's lock: the current transfer and how often it changed.
    std::wstring id;
    std::wstring url;
    long generation = 0;
};

class Load {
public:
    explicit Load(Tally& tally) : m_tally(tally) {
        const auto dir = m_packages.path();
        m_held = PackageBytes(kHeldSize, 'h');
        m_small = PackageBytes(kSmallSize, 's');
        m_large = PackageBytes(kLargeSize, 'l');
        vesk::test::WriteFileBytes(dir / "held", m_held);
        vesk::test::WriteFileBytes(dir / "small", m_small);
        vesk::test::WriteFileBytes(dir / "large", m_large);
        for (int k = 0; k < kTransfers; ++k) {
            Slot slot;
            slot.role = k < kHeldCount                     ? Role::kHeld
                        : k < kHeldCount + kFinishingCount ? Role::kFinishing
                                                           : Role::kCancelled;
            const char* kind = slot.role == Role::kHeld        ? "held"
                               : slot.role == Role::kFinishing ? "small"
                                                               : "large";
            slot.route = "/" + std::string(kind) + std::to_string(k) + ".bin";
            slot.bytes = slot.role == Role::kHeld        ? &m_held
                         : slot.role == Role::kFinishing ? &m_small
                                                         : &m_large;
            slot.file = dir / kind;
            // Spread over the period, so the churn is even rather than in bursts.
            slot.due = Now() + kCyclePeriod * k / kTransfers;
            m_slots.push_back(std::move(slot));
        }
    }

    bool StartAll() {
        NewServer();
        for (Slot& slot : m_slots) {
            if (!Start(slot)) return false;
        }
        return true;
    }

    // One pass of the client that owns the transfers: each churned one is checked, and
    // replaced when its time has come.
    void DriveOnce() {
        if (Now() >= m_roundDue) NewRound();
        for (Slot& slot : m_slots) {
            if (slot.role == Role::kHeld) continue;
            const auto status = Status(slot.id);
            if (!status) continue;
            if (status->statusId != kStarting && status->statusId != kDownloading &&
                status->statusId != kComplete)
                m_tally.Note("driver: transfer status " + std::to_string(status->statusId));
            if (Now() < slot.due) continue;
            if (slot.role == Role::kFinishing) {
                if (status->statusId != kComplete) continue;
                if (!HasPackage(slot)) m_tally.Note("driver: finished package differs");
            }
            Restart(slot);
            ++m_cycles;
        }
    }

    // Lets the held transfers finish and checks what they wrote.
    void FinishHeld() {
        m_server->Release();
        const Milliseconds limit = Now() + kFinishLimit;
        for (Slot& slot : m_slots) {
            if (slot.role != Role::kHeld) continue;
            std::optional<TransferStatus> status;
            while (Now() < limit && (status = Status(slot.id)) && status->statusId != kComplete) {
            }
            if (!status || status->statusId != kComplete)
                m_tally.Note("held transfer not complete after its release");
            else if (!HasPackage(slot))
                m_tally.Note("held package differs");
        }
    }

    void CancelAll() {
        for (Slot& slot : m_slots) Cancel(slot);
    }

    // A current id of the slot that poll `turn` looks at, with its generation.
    std::pair<std::wstring, long> Pick(int turn) {
        std::lock_guard lock(m_mutex);
        const Slot& slot = m_slots[static_cast<std::size_t>(turn) % m_slots.size()];
        return {slot.id, slot.generation};
    }
    bool Replaced(int turn, long generation) {
        std::lock_guard lock(m_mutex);
        return m_slots[static_cast<std::size_t>(turn) % m_slots.size()].generation != generation;
    }
    std::wstring SomeIds(int turn) {
        std::lock_guard lock(m_mutex);
        std::wstring ids;
        for (int k = 0; k < 4; ++k) {
            if (k > 0) ids += L",";
            ids += m_slots[static_cast<std::size_t>(turn + k * 7) % m_slots.size()].id;
        }
        return ids;
    }
    std::wstring UrlOf(int turn) {
        std::lock_guard lock(m_mutex);
        return m_slots[static_cast<std::size_t>(turn) % m_slots.size()].url;
    }
    long cycles() const { return m_cycles; }
    long rounds() const { return m_rounds; }

private:
    void NewServer() {
        m_server = std::make_unique<vesk::test::TestHttpServer>();
        for (const Slot& slot : m_slots) {
            vesk::test::TestResponse response{.file = slot.file, .acceptRanges = true};
            if (slot.role == Role::kHeld) response.holdAt = kHoldAt;
            m_server->Serve(slot.route, response);
        }
        m_roundDue = Now() + kRoundPeriod;
    }

    void NewRound() {
        FinishHeld();
        CancelAll();
        NewServer();
        for (Slot& slot : m_slots) Start(slot);
        ++m_rounds;
    }

    bool Start(Slot& slot) {
        int code = -1;
        m_tally.Call();
        const std::wstring url = Wide(m_server->Url(slot.route));
        const std::unique_ptr<TransferStatus> started(
            TSP(TSP_Lib_StartTransfer)(&code, url, slot.dest->wide(), true));
        if (!started || code != kServiceOk || started->torrentId.empty()) {
            m_tally.Note("start: code " + std::to_string(code));
            return false;
        }
        std::lock_guard lock(m_mutex);
        slot.id = started->torrentId;
        slot.url = url;
        return true;
    }

    void Cancel(Slot& slot) {
        std::wstring id;
        {
            // Before the service forgets the id, so a poll that meets it gone knows why, and
            // no poll picks it up until its successor has started.
            std::lock_guard lock(m_mutex);
            ++slot.generation;
            id = std::exchange(slot.id, std::wstring());
        }
        int code = -1;
        m_tally.Call();
        const std::unique_ptr<ServiceStatus> cancelled(
            TSP(TSP_Lib_CancelTransfer)(&code, id, true));
        if (!cancelled || code != kServiceOk || cancelled->statusId != 200)
            m_tally.Note("cancel: code " + std::to_string(code));
    }

    void Restart(Slot& slot) {
        Cancel(slot);
        Start(slot);
        slot.due = Now() + kCyclePeriod;
    }

    std::optional<TransferStatus> Status(const std::wstring& id) {
        int code = -1;
        m_tally.Call();
        const std::unique_ptr<TransferStatus> status(TSP(TSP_Lib_StatusTransfer)(&code, id));
        if (!status || code != kServiceOk) {
            m_tally.Note("driver status: code " + std::to_string(code));
            return std::nullopt;
        }
        return *status;
    }

    bool HasPackage(const Slot& slot) const {
        const std::string name = slot.route.substr(1);
        return vesk::test::ReadFileBytes(slot.dest->path() / name) == *slot.bytes;
    }

    std::unique_ptr<vesk::test::TestHttpServer> m_server;
    Milliseconds m_roundDue{0};
    Tally& m_tally;
    vesk::test::TempDir m_packages;
    std::string m_held, m_small, m_large;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    long m_cycles = 0;
    long m_rounds = 0;
};

// One call a client makes, by turn; anything but a plain good answer goes to the tally. A
// poll of a transfer that the driver replaced meanwhile may meet it gone: that is expected.
void PollOnce(Load& load, Tally& tally, int poller, int turn) {
    tally.Call();
    int code = -1;
    const auto picked = load.Pick(turn);
    const std::wstring& id = picked.first;
    const long generation = picked.second;
    const auto note = [&](const char* call, const std::string& what) {
        tally.Note(std::string(call) + ": " +
                   (load.Replaced(turn, generation) ? "cancelled meanwhile (expected)" : what));
    };
    const auto codeText = [&] { return "code " + std::to_string(code); };
    int call = turn % 8;
    // Between a cancel and the start of its successor, a slot has no transfer to ask about.
    if (id.empty() && (call == 0 || call == 3 || call == 7)) call = 1;
    switch (call) {
        case 0: {
            const std::unique_ptr<TransferStatus> status(TSP(TSP_Lib_StatusTransfer)(&code, id));
            if (!status || code != kServiceOk) return note("status", codeText());
            if (status->torrentId != id) return note("status", "another transfer's answer");
            if (status->statusId != kStarting && status->statusId != kDownloading &&
                status->statusId != kComplete)
                note("status", "status " + std::to_string(status->statusId));
            return;
        }
        case 1:
        case 2: {
            const std::wstring ids = call == 1 ? L"" : load.SomeIds(turn);
            const std::unique_ptr<std::vector<TransferStatus>> list(
                TSP(TSP_Lib_StatusListTransfer)(&code, ids));
            if (!list || code != kServiceOk) return tally.Note("list: " + codeText());
            if (list->size() > static_cast<std::size_t>(kTransfers))
                tally.Note("list: more transfers than started");
            return;
        }
        case 3: {
            const std::unique_ptr<TransferInfo> info(TSP(TSP_Lib_InfoTransfer)(&code, id));
            if (!info || code != kServiceOk) return note("info", codeText());
            if (info->packageURL != load.UrlOf(turn)) note("info", "another package's description");
            return;
        }
        case 4: {
            const std::unique_ptr<TokenInfo> token(TSP(TSP_Lib_GetToken)());
            if (!token || token->netToken.empty()) tally.Note("token: none");
            return;
        }
        case 5: {
            const std::unique_ptr<LoginInfo> login(TSP(TSP_Lib_LoginStatus)());
            if (!login || login->loginStatus != L"LoggedIn") tally.Note("login: not logged in");
            return;
        }
        case 6: {
            const std::wstring key = L"poller" + std::to_wstring(poller);
            const std::wstring value = std::to_wstring(turn);
            const std::unique_ptr<ServiceStatus> set(TSP(TSP_Lib_SetKeyValue)(L"load", key, value));
            tally.Call();
            if (!set || TSP(TSP_Lib_GetKeyValue)(L"load", key) != value)
                tally.Note("key value: not read back");
            return;
        }
        default: {
            const std::unique_ptr<std::vector<std::wstring>> files(
                TSP(TSP_Lib_FilesTransfer)(&code, id));
            if (!files || code != kServiceOk) return note("files", codeText());
            if (files->size() != 1) note("files", "no file named");
            return;
        }
    }
}

bool Unexpected(const std::string& kind) {
    return !kind.ends_with("(expected)");
}

TEST(LoadTest, FiftyTransfersWhileEightThreadsPoll) {
    const long seconds = LoadSeconds();
    ASSERT_NE(TSP(TSP_Lib_Version), nullptr);
    // The library's first call sets up what it keeps for the process.
    std::unique_ptr<VersionInfo>(TSP(TSP_Lib_Version)());
    const pid_t self = getpid();
    const int fdsBefore = CountFds(self);
    Tally tally;
    long rssStart = 0, rssEnd = 0, serviceRssStart = 0, serviceRssEnd = 0;
    int serviceFdsBefore = 0, serviceFdsAfter = 0;
    long cycles = 0, rounds = 0;
    {
        vesk::test::ServiceProcess service;
        ASSERT_TRUE(service.ready());
        serviceFdsBefore = CountFds(service.pid());
        Load load(tally);
        ASSERT_TRUE(load.StartAll());

        const Milliseconds begin = Now();
        const Milliseconds warm = begin + Milliseconds(seconds * 1000 / kWarmUpShare);
        const Milliseconds end = begin + Milliseconds(seconds * 1000);
        std::atomic<bool> stop{false};
        std::vector<std::thread> pollers;
        for (int p = 0; p < kPollers; ++p) {
            pollers.emplace_back([&, p] {
                for (int turn = p; !stop; turn += kPollers + 1) PollOnce(load, tally, p, turn);
            });
        }
        while (Now() < end) {
            load.DriveOnce();
            if (rssStart == 0 && Now() >= warm) {
                rssStart = RssKb(self);
                serviceRssStart = RssKb(service.pid());
            }
        }
        if (rssStart == 0) {
            rssStart = RssKb(self);
            serviceRssStart = RssKb(service.pid());
        }
        rssEnd = RssKb(self);
        serviceRssEnd = RssKb(service.pid());
        stop = true;
        for (auto& poller : pollers) poller.join();

        load.FinishHeld();
        load.CancelAll();
        cycles = load.cycles();
        rounds = load.rounds() + 1;
        int left = -1;
        const std::unique_ptr<std::vector<TransferStatus>> list(
            TSP(TSP_Lib_StatusListTransfer)(&left, L""));
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->empty()) << list->size() << " transfers left";
        // The service closes a connection just after answering; the last few may be closing.
        // No call of ours here: its own connection would be the one counted.
        const Milliseconds limit = Now() + Milliseconds(5000);
        while ((serviceFdsAfter = CountFds(service.pid())) > serviceFdsBefore && Now() < limit)
            std::this_thread::yield();
    }
    const int fdsAfter = CountFds(self);

    std::printf("load: %d transfers, %d pollers, %ld s: %ld calls, %ld restarts, %ld rounds\n",
                kTransfers, kPollers, seconds, tally.calls(), cycles, rounds);
    std::printf("load: test process fds before/after %d/%d, RSS start/end %ld/%ld KB\n", fdsBefore,
                fdsAfter, rssStart, rssEnd);
    std::printf("load: service fds before/after %d/%d, RSS start/end %ld/%ld KB\n",
                serviceFdsBefore, serviceFdsAfter, serviceRssStart, serviceRssEnd);
    long unexpected = 0;
    for (const auto& [kind, count] : tally.kinds()) {
        std::printf("load: %ld x %s\n", count, kind.c_str());
        if (Unexpected(kind)) unexpected += count;
    }
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(fdsAfter, fdsBefore);
    // Fewer is no leak: the count at the start may catch a descriptor the starting service
    // was about to close.
    EXPECT_LE(serviceFdsAfter, serviceFdsBefore);
    EXPECT_TRUE(MemoryFlat(rssStart, rssEnd)) << rssStart << " -> " << rssEnd << " KB";
    EXPECT_TRUE(MemoryFlat(serviceRssStart, serviceRssEnd))
        << serviceRssStart << " -> " << serviceRssEnd << " KB";
}

}  // namespace
