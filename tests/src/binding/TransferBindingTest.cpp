#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "BindingFixture.h"
#include "PackageTransfer.h"

namespace {

using vesk::test::ServiceProcess;
using TransferBindingTest = vesk::test::BindingTest;

const std::wstring kLibrary = std::filesystem::path(TSP_WRAPPER_LIBRARY).wstring();

// Each row starts bound to the real library: a refused file leaves nothing bound.
TEST_F(TransferBindingTest, AllSevenNamesOrNothing) {
    const struct {
        const char* what;
        std::wstring path;
        bool bound;
    } rows[] = {
        {"the library", kLibrary, true},
        {"no TSP_Lib_ShutDown", std::filesystem::path(INCOMPLETE_LIBRARY).wstring(), false},
        {"missing file", (m_dir / "TSPWrapperLib.dll").wstring(), false},
        {"no path", L"", false},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(BindTransferLibrary(kLibrary));
        EXPECT_EQ(BindTransferLibrary(row.path), row.bound) << row.what;
        EXPECT_EQ(IsTransferLibraryBound(), row.bound) << row.what;
    }
}

TEST_F(TransferBindingTest, ReleasedLibraryIsNeverCalled) {
    ServiceProcess service(Logged({}));
    ASSERT_TRUE(service.ready());
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    ReleaseTransferLibrary();
    ReleaseTransferLibrary();
    EXPECT_FALSE(IsTransferLibraryBound());

    CancelCurrentTransfer(L"7");
    EXPECT_TRUE(QueryTransferProgress(L"7").failed);
    EXPECT_EQ(StartPackageTransfer(L"http://127.0.0.1:1/p.zip", m_dir.path().wstring()),
              std::nullopt);
    EXPECT_TRUE(m_harness.TakeRequests().empty());
    ASSERT_EQ(LogMessages().size(), 1u);
    EXPECT_TRUE(LogMessages()[0].starts_with(
        "CVeskUpdateDlg::DownloadPatcher: g_TSP_StartTransfer failed.(file: PackageTransfer.cpp"));
    EXPECT_TRUE(BindTransferLibrary(kLibrary));
}

// The cancel thread is held inside the library (in the restart's pause) when the install
// thread releases: the release waits for the call to end.
TEST_F(TransferBindingTest, ReleaseWaitsForACallInProgress) {
    RegisterInertService();
    ServiceProcess service(Logged({"--fault", "transfer.cancel=905"}));
    ASSERT_TRUE(service.ready());
    ASSERT_TRUE(BindTransferLibrary(kLibrary));
    m_harness.HoldSleepsForNextStart();

    std::thread cancel([] { CancelCurrentTransfer(L"7"); });
    while (m_harness.TakeSleeps().empty()) std::this_thread::yield();
    std::atomic<bool> released{false};
    std::thread release([&] {
        ReleaseTransferLibrary();
        released = true;
    });
    // Ample turns for a release that does not wait to end.
    for (int turn = 0; turn < 10000 && !released; ++turn) std::this_thread::yield();
    EXPECT_FALSE(released);
    // Lets the pause end, as if the restarted service had come up; it never answers.
    const int fifo = open(m_harness.announcePath().c_str(), O_WRONLY | O_CLOEXEC);
    EXPECT_EQ(write(fifo, "listening 0 0\n", 14), 14);
    close(fifo);
    cancel.join();
    release.join();

    EXPECT_FALSE(IsTransferLibraryBound());
    // The restart failed, so the cancel was not sent again.
    EXPECT_EQ(Count(m_harness.TakeRequests(), "transfer.cancel"), 3);
}

}  // namespace
