#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "LibraryHarness.h"
#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TempDir.h"
#include "TestHttpServer.h"

namespace {

using vesk::test::LibraryHarness;
using vesk::test::ServiceProcess;
using vesk::test::TestHttpServer;

// Hosts in other languages lay the records out from the field list: natural alignment.
static_assert(offsetof(ServiceStatusC, statusLink) == 4);
static_assert(offsetof(TransferStatusC, bytesDownloaded) % 8 == 0);
static_assert(offsetof(TransferStatusC, bytesFromCDN) == offsetof(TransferStatusC, bitRate) + 8);
static_assert(offsetof(TransferStatusListC, items) == 8);
static_assert(sizeof(TransferInfoC::sequential) == 1);
static_assert(offsetof(TransferInfoC, targetRate) == offsetof(TransferInfoC, sequential) + 4);
static_assert(offsetof(TransferInfoC, downloadToExpire) ==
              offsetof(TransferInfoC, noP2PPermitted) + 2);
static_assert(offsetof(VersionInfoC, upgradeAvailable) == 2 * sizeof(wchar_t) * kPlainTextLength);
static_assert(offsetof(VersionInfoC, exclusivity) == offsetof(VersionInfoC, upgradeAvailable) + 4);
static_assert(offsetof(LoginInfoC, subscriptionLevel) == sizeof(wchar_t) * kPlainTextLength);

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

class PlainExportsTest : public ::testing::Test {
protected:
    PlainExportsTest() {
        m_server.Serve("/p.zip", {.body = std::string(4096, 'v'), .acceptRanges = true});
    }

    // A transfer the service knows; its torrent id.
    std::wstring Start(const std::string& path = "/p.zip") {
        int code = -1;
        const TransferStatusC* started = TSP(TSP_LibC_StartTransfer)(
            &code, Wide(m_server.Url(path)).c_str(), m_dest.wide().c_str(), 1);
        EXPECT_NE(started, nullptr);
        EXPECT_EQ(code, kServiceOk);
        return started ? started->torrentId : L"";
    }

    TestHttpServer m_server;
    vesk::test::TempDir m_dest;
};

TEST_F(PlainExportsTest, ListKeepsTheFirstSixteenTransfers) {
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    std::wstring ids;
    std::vector<std::wstring> started;
    for (int i = 0; i < 20; ++i) {
        const std::string path = "/p" + std::to_string(i) + ".zip";
        m_server.Serve(path, {.body = "package", .acceptRanges = true});
        started.push_back(Start(path));
        ids += (i ? L"," : L"") + started.back();
    }
    int code = -1;
    const TransferStatusListC* list = TSP(TSP_LibC_StatusListTransfer)(&code, ids.c_str());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(code, kServiceOk);
    ASSERT_EQ(list->count, 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(list->items[i].torrentId, started[i]) << i;
}

TEST_F(PlainExportsTest, LongTextIsCutTo511Characters) {
    const std::string path = "/" + std::string(600, 'a') + ".zip";
    m_server.Serve(path, {.body = "short", .acceptRanges = true});
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    const std::wstring id = Start(path);
    int code = -1;
    const TransferInfoC* info = TSP(TSP_LibC_InfoTransfer)(&code, id.c_str());
    ASSERT_NE(info, nullptr);
    const std::wstring url = Wide(m_server.Url(path));
    EXPECT_EQ(std::wstring(info->packageURL), url.substr(0, 511));
    EXPECT_EQ(std::wstring(info->description), Wide(path.substr(1, 511)));
}

TEST_F(PlainExportsTest, EachExportKeepsOneAreaThatOnlySuccessOverwrites) {
    LibraryHarness::Instance().ForgetInstallation();
    const TransferStatusC* first = nullptr;
    std::vector<char> before(sizeof(TransferStatusC));
    {
        ServiceProcess service;
        ASSERT_TRUE(service.ready());
        const std::wstring a = Start();
        const std::wstring b = Start();
        int code = -1;
        first = TSP(TSP_LibC_StatusTransfer)(&code, a.c_str());
        ASSERT_NE(first, nullptr);
        const TransferStatusC* second = TSP(TSP_LibC_StatusTransfer)(&code, b.c_str());
        EXPECT_EQ(second, first);
        EXPECT_EQ(std::wstring(second->torrentId), b);
        EXPECT_NE(static_cast<const void*>(TSP(TSP_LibC_PauseTransfer)(&code, b.c_str())),
                  static_cast<const void*>(first));
        std::memcpy(before.data(), first, before.size());
    }
    // The service is gone and nothing is installed to restart.
    int code = -1;
    EXPECT_EQ(TSP(TSP_LibC_StatusTransfer)(&code, L"x"), nullptr);
    EXPECT_EQ(code, kServiceNotInstalled);
    EXPECT_EQ(std::memcmp(before.data(), first, before.size()), 0);
    const wchar_t* value = TSP(TSP_LibC_GetKeyValue)(L"c", L"k");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, L"");
}

TEST_F(PlainExportsTest, NullTextNeverReachesTheService) {
    auto& harness = LibraryHarness::Instance();
    ServiceProcess service(harness.RequestLogOptions());
    ASSERT_TRUE(service.ready());
    harness.TakeRequests();
    int code = -1;
    EXPECT_EQ(TSP(TSP_LibC_StatusTransfer)(&code, nullptr), nullptr);
    EXPECT_EQ(code, kServiceNoReply);
    code = -1;
    EXPECT_EQ(TSP(TSP_LibC_StartTransfer)(&code, L"http://127.0.0.1/p", nullptr, 1), nullptr);
    EXPECT_EQ(code, kServiceNoReply);
    EXPECT_EQ(TSP(TSP_LibC_StartTSP)(&code, nullptr), 0);
    EXPECT_EQ(TSP(TSP_LibC_SetKeyValue)(L"c", nullptr, L"v"), nullptr);
    EXPECT_STREQ(TSP(TSP_LibC_GetKeyValue)(nullptr, L"k"), L"");
    EXPECT_EQ(TSP(TSP_LibC_ValidateDiskToken)(nullptr), nullptr);
    EXPECT_EQ(TSP(TSP_LibC_InstallTSP)(nullptr), 0);
    TSP(TSP_LibC_SetMinimumRequiredVersion)(nullptr);
    EXPECT_STREQ(TSP(TSP_LibC_GetMinimumRequiredVersion)(), L"2.3.0.0");
    EXPECT_TRUE(harness.TakeRequests().empty());
    // The unused argument of the token export may be null.
    const TokenInfoC* token = TSP(TSP_LibC_GetToken)(nullptr);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(std::wcslen(token->netToken), 32u);
}

TEST_F(PlainExportsTest, VersionAndLoginAreCopiedFieldByField) {
    const VersionInfoC* version = nullptr;
    const LoginInfoC* login = nullptr;
    for (const char* upgrade : {"1", "0"}) {
        ServiceProcess service({"--version", "2.4.1.0", "--upgrade-available", upgrade});
        ASSERT_TRUE(service.ready());
        version = TSP(TSP_LibC_Version)();
        ASSERT_NE(version, nullptr);
        EXPECT_STREQ(version->buildId, L"2300");
        EXPECT_STREQ(version->version, L"2.4.1.0");
        EXPECT_EQ(version->upgradeAvailable, upgrade[0] - '0');
        EXPECT_STREQ(version->exclusivity, L"none");
        login = TSP(TSP_LibC_LoginStatus)();
        ASSERT_NE(login, nullptr);
        EXPECT_STREQ(login->loginStatus, L"LoggedIn");
        EXPECT_EQ(login->subscriptionLevel, 1);
    }
    // With the service gone the areas keep the last answers.
    EXPECT_EQ(TSP(TSP_LibC_Version)(), nullptr);
    EXPECT_EQ(TSP(TSP_LibC_LoginStatus)(), nullptr);
    EXPECT_STREQ(version->version, L"2.4.1.0");
    EXPECT_EQ(version->upgradeAvailable, 0);
    EXPECT_STREQ(login->loginStatus, L"LoggedIn");
}

TEST_F(PlainExportsTest, PortExportsAreTheTypedEntryPoints) {
    EXPECT_EQ(reinterpret_cast<void*>(TSP(TSP_LibC_SetTSPPort)),
              reinterpret_cast<void*>(TSP(TSP_Lib_SetTSPPort)));
    EXPECT_EQ(reinterpret_cast<void*>(TSP(TSP_LibC_GetTSPPort)),
              reinterpret_cast<void*>(TSP(TSP_Lib_GetTSPPort)));
}

}  // namespace
