#include "BindingFixture.h"
#include "TransferService.h"

namespace {

using vesk::test::ServiceProcess;
using ServiceStartTest = vesk::test::BindingTest;

TEST_F(ServiceStartTest, FolderWithoutAWholeLibraryIsLibraryMissing) {
    EXPECT_EQ(StartTransferService(m_dir.wide(), L"Vesk"), ServiceStart::LibraryMissing);
    std::filesystem::copy_file(INCOMPLETE_LIBRARY, m_dir / "TSPWrapperLib.dll");
    EXPECT_EQ(StartTransferService(m_dir.wide(), L"Vesk"), ServiceStart::LibraryMissing);
    EXPECT_FALSE(IsTransferLibraryBound());
    EXPECT_TRUE(LogMessages().empty());
}

// The registered service is inert, so every start and restart meets the running one; each
// row: its options, the outcome, the line logged, and the login questions it answered.
TEST_F(ServiceStartTest, ThreeStartsThenThreeRestartsEachLoggedWhenAllFail) {
    const struct {
        std::vector<std::string> options;
        ServiceStart outcome;
        std::vector<std::string> log;
        long questions;
    } rows[] = {
        {{}, ServiceStart::Ready, {}, 2},
        // 25 questions per start: two starts time out, the third finds it logged in.
        {{"--login-after", "50"}, ServiceStart::Ready, {}, 52},
        {{"--login-after", "75"}, ServiceStart::NotReady, {"Start TSP failed,exit."}, 75},
        // Logged in at the start, gone at the test: restarts launch nothing that answers.
        {{"--fault", "loginStatus=shutdown:1"},
         ServiceStart::NotReady,
         {"TSP restart failed,exit."},
         1},
    };
    RegisterInertService();
    for (const auto& row : rows) {
        const std::size_t logged = LogMessages().size();
        ReleaseTransferLibrary();
        ServiceProcess service(Logged(row.options));
        ASSERT_TRUE(service.ready());
        EXPECT_EQ(StartTransferService(LibraryFolder(), L"Vesk"), row.outcome) << row.questions;
        EXPECT_TRUE(IsTransferLibraryBound());
        const auto messages = LogMessages();
        EXPECT_EQ(std::vector(messages.begin() + static_cast<long>(logged), messages.end()),
                  row.log);
        EXPECT_EQ(Count(m_harness.TakeRequests(), "loginStatus"), row.questions);
    }
}

TEST_F(ServiceStartTest, ServiceIsKnownByItsFileNameInAnyCase) {
    for (const wchar_t* name : {L"TSP.exe", L"tsp.EXE"}) EXPECT_TRUE(IsTransferServiceName(name));
    for (const wchar_t* name : {L"TSP2.exe", L"TSP.exe.old", L"MyTSP.exe", L"TSP", L""})
        EXPECT_FALSE(IsTransferServiceName(name)) << name;
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    EXPECT_TRUE(IsTransferServiceRunning());
}

}  // namespace
