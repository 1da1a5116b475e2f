#include <chrono>
#include <climits>
#include <memory>
#include <regex>

#include "BindingFixture.h"
#include "PackageTransfer.h"
#include "TestHttpServer.h"

namespace {

using vesk::test::ServiceProcess;
using vesk::test::TestHttpServer;

const std::wstring kLibrary = std::filesystem::path(TSP_WRAPPER_LIBRARY).wstring();
const char* const kNoRecordLine =
    R"(CVeskUpdateDlg::DownloadPatcher: g_TSP_StartTransfer failed\.\(file: PackageTransfer\.cpp, line: \d+\))";
const char* const kNoTransferLine =
    R"(CVeskUpdateDlg::DownloadPatcher: g_TSP_CheckAndReStartTSP failed\.\(file: PackageTransfer\.cpp, line: \d+\))";

// "--fault" with the fault, unless there is none.
std::vector<std::string> FaultOptions(const std::string& fault) {
    if (fault.empty()) return {};
    return {"--fault", fault};
}

class PackageTransferTest : public vesk::test::BindingTest {
protected:
    PackageTransferTest() { m_server.Serve("/p.zip", {.body = "package"}); }

    std::optional<std::wstring> Start(const std::string& path = "/p.zip") {
        return StartPackageTransfer(m_server.WideUrl(path), m_dir.path().wstring());
    }

    // Polls until the progress says what `until` waits for; every poll on the way runs.
    TransferProgress PollUntil(const std::wstring& id,
                               const std::function<bool(const TransferProgress&)>& until) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        TransferProgress progress;
        while (std::chrono::steady_clock::now() < limit) {
            progress = QueryTransferProgress(id);
            if (until(progress)) return progress;
            EXPECT_FALSE(progress.failed || progress.finished);
        }
        ADD_FAILURE() << "the transfer never got there";
        return progress;
    }

    TestHttpServer m_server;
};

TEST_F(PackageTransferTest, RateAndFractionTexts) {
    const std::pair<std::int32_t, const wchar_t*> rates[] = {
        {131072, L"Rate: 1024.0KB/s"},
        {1000, L"Rate: 7.8KB/s"},
        {-1, L""},
        {INT32_MAX, L"Rate: 16777216.0KB/s"},
    };
    for (const auto& [bitRate, text] : rates) EXPECT_EQ(TransferRateText(bitRate), text);
    const std::tuple<std::int64_t, std::int64_t, const wchar_t*> fractions[] = {
        {1, 4, L"0.250000"}, {1, 3, L"0.333333"}, {0, 9, L"0.000000"},
        {5, 0, L""},         {5, -1, L""},        {(1LL << 40) - 1, 1LL << 40, L"1.000000"},
    };
    for (const auto& [done, size, text] : fractions)
        EXPECT_EQ(TransferFractionText(done, size), text) << done << "/" << size;
}

// Each row: the running service's fault, and the options of the one a restart launches
// (none registered: the restart fails). A restarted service first asks the library for a
// new token, so a start it accepts takes two requests.
TEST_F(PackageTransferTest, StartAsksAgainOnceOrRestartsOnce) {
    const struct {
        const char* fault;
        const char* relaunched;
        bool started;
        long starts, shutdowns;
        const char* logged;
    } rows[] = {
        {"transfer.start=902:3", nullptr, true, 4, 0, nullptr},
        {"transfer.start=902", nullptr, false, 6, 0, kNoTransferLine},
        {"transfer.start=905:3", "", true, 5, 1, nullptr},
        {"transfer.start=905", "--fault transfer.start=905", false, 6, 1, kNoTransferLine},
        {"transfer.start=905", nullptr, false, 3, 1, kNoTransferLine},
    };
    for (const auto& row : rows) {
        const std::size_t logged = LogMessages().size();
        m_harness.ForgetInstallation();
        if (row.relaunched) {
            RegisterService(vesk::test::kBuiltService.parent_path());
            m_harness.SetServiceOptions(row.relaunched);
            m_harness.HoldSleepsForNextStart();
        }
        {
            ServiceProcess service(Logged({"--fault", row.fault}));
            ASSERT_TRUE(service.ready());
            ASSERT_TRUE(BindTransferLibrary(kLibrary));
            const auto id = Start();
            EXPECT_EQ(id.has_value(), row.started) << row.fault;
            EXPECT_TRUE(!id || !id->empty());
        }
        const auto requests = m_harness.TakeRequests();
        m_harness.StopStartedServices();
        m_harness.TakeRequests();
        EXPECT_EQ(Count(requests, "transfer.start"), row.starts) << row.fault;
        EXPECT_EQ(Count(requests, "shutdown"), row.shutdowns) << row.fault;
        const auto messages = LogMessages();
        ASSERT_EQ(messages.size(), logged + (row.logged ? 1 : 0)) << row.fault;
        if (row.logged) {
            EXPECT_TRUE(std::regex_match(messages.back(), std::regex(row.logged)));
        }
    }
}

TEST_F(PackageTransferTest, NoServiceOrNoTransferIdFailsTheStart) {
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    EXPECT_EQ(Start(), std::nullopt);  // nothing answers and nothing is installed
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    // The service answers a bad address with code 0 and no transfer id.
    EXPECT_EQ(StartPackageTransfer(L"not an address", m_dir.path().wstring()), std::nullopt);
    const auto messages = LogMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(std::regex_match(messages[0], std::regex(kNoRecordLine)));
    EXPECT_TRUE(std::regex_match(messages[1], std::regex(kNoTransferLine)));
}

TEST_F(PackageTransferTest, RunningPausedAndFinishedTransfer) {
    const std::string bytes(400000, 'v');
    m_server.Serve("/big.zip", {.body = bytes, .holdAt = bytes.size() / 4, .acceptRanges = true});
    ServiceProcess service({"--connections", "1"});
    ASSERT_TRUE(service.ready());
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    const auto id = Start("/big.zip");
    ASSERT_TRUE(id);
    m_server.WaitUntilHeld();
    auto progress = PollUntil(*id, [](auto& p) { return p.fraction == L"0.250000"; });
    EXPECT_TRUE(progress.rate.starts_with(L"Rate: ")) << progress.rate;

    // Paused: no rate (bitRate -1), and still no failure.
    int code = -1;
    ASSERT_NE(std::unique_ptr<TransferStatus>(TSP(TSP_Lib_PauseTransfer)(&code, *id)), nullptr);
    progress = QueryTransferProgress(*id);
    EXPECT_FALSE(progress.failed || progress.finished);
    EXPECT_EQ(progress.rate, L"");
    EXPECT_EQ(progress.fraction, L"0.250000");

    m_server.Release();
    ASSERT_NE(std::unique_ptr<TransferStatus>(TSP(TSP_Lib_ResumeTransfer)(&code, *id)), nullptr);
    progress = PollUntil(*id, [](auto& p) { return p.finished; });
    EXPECT_FALSE(progress.failed);
    // Cancelling keeps what was downloaded.
    CancelCurrentTransfer(*id);
    EXPECT_EQ(vesk::test::ReadFileBytes(m_dir / "big.zip"), bytes);
}

TEST_F(PackageTransferTest, CompleteWinsOverTheCounts) {
    const std::string bytes(400000, 'v');
    m_server.Serve("/big.zip", {.body = bytes, .holdAt = bytes.size() / 2, .acceptRanges = true});
    ServiceProcess service({"--connections", "1", "--fault", "transfer.status=status-206"});
    ASSERT_TRUE(service.ready());
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    const auto id = Start("/big.zip");
    ASSERT_TRUE(id);
    m_server.WaitUntilHeld();
    const TransferProgress progress = QueryTransferProgress(*id);
    EXPECT_TRUE(progress.finished);
    EXPECT_FALSE(progress.failed);
    // The counts that came with it: the server still holds the second half.
    int code = -1;
    const std::unique_ptr<std::vector<TransferStatus>> list(
        TSP(TSP_Lib_StatusListTransfer)(&code, *id));
    ASSERT_TRUE(list && list->size() == 1);
    EXPECT_LT(list->front().bytesDownloaded, list->front().torrentSize);
}

// Each row: how the service answers a poll of an unknown transfer.
TEST_F(PackageTransferTest, PollFailsOnAnyOtherStateOrCode) {
    const struct {
        const char* fault;
        bool failed, finished;
    } rows[] = {
        {"", true, false},  // the unknown transfer's 404
        {"transfer.status=status-501", true, false},
        {"transfer.status=902", true, false},  // the record comes with code 3
        {"transfer.status=status-205", false, false},
        {"transfer.status=no-element", false, false},  // no record: asked again next tick
    };
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    for (const auto& row : rows) {
        ServiceProcess service(FaultOptions(row.fault));
        ASSERT_TRUE(service.ready());
        const TransferProgress progress = QueryTransferProgress(L"7");
        EXPECT_EQ(progress.failed, row.failed) << row.fault;
        EXPECT_EQ(progress.finished, row.finished) << row.fault;
        // A running transfer of unknown size has no fraction.
        EXPECT_EQ(progress.fraction, L"") << row.fault;
    }
    EXPECT_FALSE(QueryTransferProgress(L"").failed);
}

// Each row: the service's fault on cancel, whether a restart launches a service, and the
// cancels and shut-downs it took.
TEST_F(PackageTransferTest, CancelAsksAgainOnceOrRestartsOnce) {
    const struct {
        const char* fault;
        bool registered;
        long cancels, shutdowns;
    } rows[] = {
        {"", false, 1, 0},
        {"transfer.cancel=902", false, 6, 0},
        {"transfer.cancel=905", true, 4, 1},
    };
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    for (const auto& row : rows) {
        m_harness.ForgetInstallation();
        if (row.registered) {
            RegisterService(vesk::test::kBuiltService.parent_path());
            m_harness.HoldSleepsForNextStart();
        }
        {
            ServiceProcess service(Logged(FaultOptions(row.fault)));
            ASSERT_TRUE(service.ready());
            CancelCurrentTransfer(L"7");
        }
        const auto requests = m_harness.TakeRequests();
        m_harness.StopStartedServices();
        m_harness.TakeRequests();
        EXPECT_EQ(Count(requests, "transfer.cancel"), row.cancels) << row.fault;
        EXPECT_EQ(Count(requests, "shutdown"), row.shutdowns) << row.fault;
    }
    EXPECT_TRUE(LogMessages().empty());
}

}  // namespace
