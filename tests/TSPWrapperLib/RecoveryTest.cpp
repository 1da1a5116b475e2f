#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "LibraryHarness.h"
#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TempDir.h"

namespace {

using vesk::test::LibraryHarness;
using vesk::test::ServiceProcess;

long Count(const std::vector<std::string>& requests, const std::string& method) {
    return std::count(requests.begin(), requests.end(), method);
}

ServiceProcess LoggedService(std::vector<std::string> options) {
    const auto log = LibraryHarness::Instance().RequestLogOptions();
    options.insert(options.end(), log.begin(), log.end());
    return ServiceProcess(options);
}

// Each row: the service's behaviour, and what one status call ends with.
TEST(RecoveryTest, EachCodeIsRepairedAndTheRequestSentAgainThreeTimesAtMost) {
    struct Row {
        const char* fault;
        int code;
        int statusId;  // of the record; 0: none
        long statusRequests, loginRequests, tokenRequests, versionRequests;
    };
    const Row rows[] = {
        {"transfer.status=905", kServiceNotLoggedIn, 905, 3, 2, 0, 0},
        {"transfer.status=905:2", kServiceOk, 404, 3, 2, 0, 0},
        {"transfer.status=no-element", kServiceNoElement, 0, 3, 0, 0, 0},
        {"transfer.status=902", kServiceRenewToken, 902, 3, 0, 2, 0},
        {"transfer.status=902:1", kServiceOk, 404, 2, 0, 1, 0},
        // No answer and nothing installed: the recovery gives up after one request.
        {"*=no-reply", kServiceNotInstalled, 0, 1, 0, 0, 1},
        // No answer from a running service: it is shut down, and cannot be launched again.
        {"transfer.status=http-500", kServiceLaunchFailed, 0, 1, 0, 0, 1},
    };
    LibraryHarness& harness = LibraryHarness::Instance();
    harness.ForgetInstallation();
    for (const Row& row : rows) {
        harness.TakeRequests();
        ServiceProcess service = LoggedService({"--fault", row.fault});
        ASSERT_TRUE(service.ready()) << row.fault;
        int code = -1;
        const std::unique_ptr<TransferStatus> status(TSP(TSP_Lib_StatusTransfer)(&code, L"9"));
        EXPECT_EQ(code, row.code) << row.fault;
        EXPECT_EQ(status ? status->statusId : 0, row.statusId) << row.fault;
        const auto requests = harness.TakeRequests();
        EXPECT_EQ(Count(requests, "transfer.status"), row.statusRequests) << row.fault;
        EXPECT_EQ(Count(requests, "loginStatus"), row.loginRequests) << row.fault;
        EXPECT_EQ(Count(requests, "getToken"), row.tokenRequests) << row.fault;
        EXPECT_EQ(Count(requests, "version"), row.versionRequests) << row.fault;
    }
    EXPECT_TRUE(harness.TakeSleeps().empty());
}

// The renewal ends with a token that does not validate: one request, and the recovery
// gives up with the record of that request.
TEST(RecoveryTest, RenewedTokenThatDoesNotValidateEndsTheCall) {
    vesk::test::TempDir elsewhere;
    const std::vector<std::string> causes[] = {
        {"--fault", "validateDiskToken=no-element"},  // the service does not validate it
        {"--data-dir", elsewhere.path().string()},    // the library will not write its file
    };
    LibraryHarness& harness = LibraryHarness::Instance();
    for (const auto& cause : causes) {
        std::vector<std::string> options{"--fault", "transfer.status=902"};
        options.insert(options.end(), cause.begin(), cause.end());
        harness.TakeRequests();
        ServiceProcess service = LoggedService(options);
        ASSERT_TRUE(service.ready()) << cause[1];
        int code = -1;
        const std::unique_ptr<TransferStatus> status(TSP(TSP_Lib_StatusTransfer)(&code, L"9"));
        EXPECT_EQ(code, kServiceTokenInvalid) << cause[1];
        ASSERT_NE(status, nullptr) << cause[1];
        EXPECT_EQ(status->statusId, 902) << cause[1];
        const auto requests = harness.TakeRequests();
        EXPECT_EQ(Count(requests, "transfer.status"), 1) << cause[1];
        EXPECT_EQ(Count(requests, "getToken"), 1) << cause[1];
    }
}

TEST(RecoveryTest, LoginWaitPollsEveryFiveSeconds) {
    ServiceProcess service({"--login-after", "3"});
    ASSERT_TRUE(service.ready());
    LibraryHarness::Instance().TakeSleeps();
    int code = -1;
    EXPECT_NE(std::unique_ptr<TransferStatus>(TSP(TSP_Lib_StatusTransfer)(&code, L"x")), nullptr);
    EXPECT_EQ(code, kServiceOk);
    // One 905, then three questions before "LoggedIn": two of them after a pause.
    EXPECT_EQ(LibraryHarness::Instance().TakeSleeps(), (std::vector<long>{5000, 5000}));
}

TEST(RecoveryTest, LoginThatNeverComesEndsAfterTwoMinutes) {
    ServiceProcess service({"--login-after", "1000"});
    ASSERT_TRUE(service.ready());
    LibraryHarness::Instance().TakeSleeps();
    EXPECT_FALSE(TSP(TSP_Lib_CheckTSPIsLoggedIn)());
    int code = -1;
    const std::unique_ptr<TransferStatus> status(TSP(TSP_Lib_PauseTransfer)(&code, L"x"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->statusId, 905);
    EXPECT_EQ(code, kServiceNotLoggedIn);
    // Two waits of 24 pauses each.
    EXPECT_EQ(LibraryHarness::Instance().TakeSleeps(), std::vector<long>(48, 5000));
}

}  // namespace
