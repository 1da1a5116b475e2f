#include <gtest/gtest.h>

#include <memory>

#include "ServiceLibrary.h"
#include "ServiceProcess.h"

namespace {

TEST(LibraryExportsTest, EveryExportResolvesByNameAndInternalsStayHidden) {
    ASSERT_NE(vesk::test::ServiceLibraryHandle(), nullptr) << dlerror();
    const char* const names[] = {
        "TSP_Lib_CheckIsTSPPresent",
        "TSP_Lib_InstallTSP",
        "TSP_Lib_LaunchTSPApplication",
        "TSP_Lib_StartTSP",
        "TSP_Lib_CheckAndReStartTSP",
        "TSP_Lib_CheckTSPIsLoggedIn",
        "TSP_Lib_LoginStatus",
        "TSP_Lib_Version",
        "TSP_Lib_SetMinimumRequiredVersion",
        "TSP_Lib_GetMinimumRequiredVersion",
        "TSP_Lib_SetTSPPort",
        "TSP_Lib_GetTSPPort",
        "TSP_Lib_GetToken",
        "TSP_Lib_ValidateDiskToken",
        "TSP_Lib_GetKeyValue",
        "TSP_Lib_SetKeyValue",
        "TSP_Lib_ShutDown",
        "TSP_Lib_Upgrade",
        "TSP_Lib_StartTransfer",
        "TSP_Lib_StatusTransfer",
        "TSP_Lib_StatusListTransfer",
        "TSP_Lib_FilesTransfer",
        "TSP_Lib_InfoTransfer",
        "TSP_Lib_PauseTransfer",
        "TSP_Lib_ResumeTransfer",
        "TSP_Lib_CancelTransfer",
        "TSP_Lib_OpenTransfer",
        "TSP_Lib_UpdateTransfer",
        "TSP_Lib_UpdateListTransfer",
    };
    for (const char* name : names)
        EXPECT_NE(dlsym(vesk::test::ServiceLibraryHandle(), name), nullptr) << name;
    EXPECT_EQ(dlsym(vesk::test::ServiceLibraryHandle(), "_ZN4vesk3tsp17StoredServicePortEv"),
              nullptr);
}

TEST(LibraryExportsTest, WithoutTheServiceQueriesFailAtOnce) {
    vesk::test::LibraryHarness::Instance().ForgetInstallation();
    int code = -1;
    // A transfer tries a restart first, and finds nothing installed.
    EXPECT_EQ(std::unique_ptr<TransferStatus>(TSP(TSP_Lib_StatusTransfer)(&code, L"id")), nullptr);
    EXPECT_EQ(code, kServiceNotInstalled);
    EXPECT_EQ(std::unique_ptr<VersionInfo>(TSP(TSP_Lib_Version)()), nullptr);
    EXPECT_FALSE(TSP(TSP_Lib_CheckTSPIsLoggedIn)());
    EXPECT_EQ(TSP(TSP_Lib_GetKeyValue)(L"c", L"k"), L"");
    EXPECT_EQ(std::unique_ptr<ServiceStatus>(TSP(TSP_Lib_ShutDown)()), nullptr);
    // A null result pointer is allowed.
    EXPECT_EQ(std::unique_ptr<TransferStatus>(TSP(TSP_Lib_PauseTransfer)(nullptr, L"id")), nullptr);
}

TEST(LibraryExportsTest, NothingInstalledAndNoInstallerToBeHad) {
    vesk::test::LibraryHarness::Instance().ForgetInstallation();
    int code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_StartTSP)(&code, L"partner"));
    EXPECT_EQ(code, kServiceInstallFailed);
    code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_CheckAndReStartTSP)(&code));
    EXPECT_EQ(code, kServiceNotInstalled);
    EXPECT_FALSE(TSP(TSP_Lib_CheckIsTSPPresent)(nullptr, nullptr));
    EXPECT_FALSE(TSP(TSP_Lib_InstallTSP)(L"partner"));
    EXPECT_FALSE(TSP(TSP_Lib_LaunchTSPApplication)(L"/nowhere"));
    EXPECT_TRUE(vesk::test::LibraryHarness::Instance().TakeSleeps().empty());
}

TEST(LibraryExportsTest, StoredPortDoesNotMoveRequestsOffTheServicePort) {
    EXPECT_EQ(TSP(TSP_Lib_GetTSPPort)(), 60524);
    EXPECT_EQ(TSP(TSP_Lib_GetMinimumRequiredVersion)(), L"2.3.0.0");
    TSP(TSP_Lib_SetTSPPort)(4242);
    TSP(TSP_Lib_SetMinimumRequiredVersion)(L"2.10.0.0");
    EXPECT_EQ(TSP(TSP_Lib_GetTSPPort)(), 4242);
    EXPECT_EQ(TSP(TSP_Lib_GetMinimumRequiredVersion)(), L"2.10.0.0");

    vesk::test::ServiceProcess service({"--version", "2.4.1.0"});
    ASSERT_TRUE(service.ready());
    const std::unique_ptr<VersionInfo> version(TSP(TSP_Lib_Version)());
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->version, L"2.4.1.0");
    TSP(TSP_Lib_SetTSPPort)(60524);
    TSP(TSP_Lib_SetMinimumRequiredVersion)(L"2.3.0.0");
}

}  // namespace
