#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TempDir.h"
#include "TestHttpServer.h"

namespace {

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// Eight host threads drive transfers that carry the network token while the service asks
// for new tokens now and then: every call must come back with its own answer.
TEST(ConcurrencyTest, TransfersFromEightThreadsWithTokensInPlay) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 15;
    vesk::test::TestHttpServer server;
    for (int t = 0; t < kThreads; ++t)
        server.Serve("/p" + std::to_string(t) + ".zip", {.body = "package", .acceptRanges = true});
    vesk::test::ServiceProcess service(
        {"--fault", "transfer.start=902:6", "--fault", "transfer.open=902:6"});
    ASSERT_TRUE(service.ready());

    std::atomic<int> answered{0};
    std::vector<std::thread> hosts;
    for (int t = 0; t < kThreads; ++t) {
        hosts.emplace_back([&, t] {
            vesk::test::TempDir dest;
            const std::wstring url = Wide(server.Url("/p" + std::to_string(t) + ".zip"));
            for (int round = 0; round < kRounds; ++round) {
                int code = -1;
                const std::unique_ptr<TransferStatus> started(
                    TSP(TSP_Lib_StartTransfer)(&code, url, dest.wide(), true));
                ASSERT_NE(started, nullptr);
                ++answered;
                if (code == kServiceRenewToken) {
                    // Every attempt of this start met a fault: no transfer was made.
                    EXPECT_EQ(started->statusId, 902);
                    continue;
                }
                EXPECT_EQ(code, kServiceOk);
                const std::wstring id = started->torrentId;
                const std::unique_ptr<TransferStatus> status(
                    TSP(TSP_Lib_StatusTransfer)(&code, id));
                ASSERT_NE(status, nullptr);
                EXPECT_EQ(status->torrentId, id);
                const std::unique_ptr<ServiceStatus> opened(
                    TSP(TSP_Lib_OpenTransfer)(&code, id, true));
                EXPECT_NE(opened, nullptr);
                const std::unique_ptr<ServiceStatus> cancelled(
                    TSP(TSP_Lib_CancelTransfer)(&code, id, true));
                ASSERT_NE(cancelled, nullptr);
                EXPECT_EQ(code, kServiceOk);
                EXPECT_EQ(cancelled->statusId, 200);
            }
        });
    }
    for (auto& host : hosts) host.join();
    EXPECT_EQ(answered.load(), kThreads * kRounds);
}

}  // namespace
