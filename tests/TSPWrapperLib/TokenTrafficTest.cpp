#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
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

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring GetLanguage() {
    return TSP(TSP_Lib_GetKeyValue)(L"updater", L"lang");
}

// The requests since the last call, with each network token replaced by the name it was
// given on first sight ("A", "B", ...), so a row can say which token went where.
class TokenNames {
public:
    std::vector<std::string> Take() {
        std::vector<std::string> lines = LibraryHarness::Instance().TakeRequestLines();
        for (std::string& line : lines) {
            const std::size_t at = line.find(" netToken=");
            if (at == std::string::npos) continue;
            const std::string token = line.substr(at + 10);
            auto [it, added] = m_names.try_emplace(token, std::string(1, 'A' + m_names.size()));
            line = line.substr(0, at + 10) + (token.empty() ? "" : it->second);
        }
        return lines;
    }

private:
    std::map<std::string, std::string> m_names;
};

class TokenTrafficTest : public ::testing::Test {
protected:
    TokenTrafficTest() { m_server.Serve("/p.zip", {.body = "package", .acceptRanges = true}); }

    static ServiceProcess LoggedService(std::vector<std::string> options) {
        const auto log = LibraryHarness::Instance().RequestLogOptions();
        options.insert(options.end(), log.begin(), log.end());
        return ServiceProcess(options);
    }

    // A transfer into the service's own folder, which needs no token.
    std::wstring StartedTransfer() {
        int code = -1;
        const std::unique_ptr<TransferStatus> started(
            TSP(TSP_Lib_StartTransfer)(&code, Wide(m_server.Url("/p.zip")), L"", true));
        return started ? started->torrentId : L"";
    }

    vesk::test::TestHttpServer m_server;
    vesk::test::TempDir m_dest;
};

// Every request that carries the network token is preceded by the token's validation, and
// by a new token when the cache holds none; the others go out alone.
TEST_F(TokenTrafficTest, TokenCarryingRequestsAreValidatedFirst) {
    ServiceProcess service = LoggedService(
        {"--fault", "validateDiskToken=no-element:1", "--fault", "transfer.open=902:1"});
    ASSERT_TRUE(service.ready());
    // Whatever the cache held, the failed validation leaves it empty.
    GetLanguage();
    const std::wstring id = StartedTransfer();
    ASSERT_FALSE(id.empty());
    LibraryHarness::Instance().TakeRequestLines();
    TokenNames tokens;

    const std::wstring url = Wide(m_server.Url("/p.zip"));
    int code = -1;
    struct Row {
        const char* call;
        std::function<void()> run;
        std::vector<std::string> requests;
    };
    const Row rows[] = {
        {"getKeyValue with an empty cache",
         GetLanguage,
         {"getToken", "validateDiskToken netToken=A", "getKeyValue netToken=A"}},
        {"getKeyValue", GetLanguage, {"validateDiskToken netToken=A", "getKeyValue netToken=A"}},
        {"setKeyValue",
         [] { delete TSP(TSP_Lib_SetKeyValue)(L"updater", L"lang", L"de"); },
         {"validateDiskToken netToken=A", "setKeyValue netToken=A"}},
        {"start into a folder",
         [&] { delete TSP(TSP_Lib_StartTransfer)(&code, url, m_dest.wide(), true); },
         {"validateDiskToken netToken=A", "transfer.start netToken=A"}},
        {"start without a folder",
         [&] { delete TSP(TSP_Lib_StartTransfer)(&code, url, L"", true); },
         {"transfer.start"}},
        {"status", [&] { delete TSP(TSP_Lib_StatusTransfer)(&code, id); }, {"transfer.status"}},
        // The service asks for a new token: renewed, validated, and validated again for
        // the second attempt.
        {"open with the token",
         [&] { delete TSP(TSP_Lib_OpenTransfer)(&code, id, true); },
         {"validateDiskToken netToken=A", "transfer.open netToken=A", "getToken",
          "validateDiskToken netToken=B", "validateDiskToken netToken=B",
          "transfer.open netToken=B"}},
        {"open without it",
         [&] { delete TSP(TSP_Lib_OpenTransfer)(&code, id, false); },
         {"transfer.open"}},
        {"upgrade",
         [] { delete TSP(TSP_Lib_Upgrade)(); },
         {"validateDiskToken netToken=B", "upgrade netToken=B"}},
        {"cancel without deleting",
         [&] { delete TSP(TSP_Lib_CancelTransfer)(&code, id, false); },
         {"transfer.cancel"}},
        {"cancel and delete",
         [&] { delete TSP(TSP_Lib_CancelTransfer)(&code, id, true); },
         {"validateDiskToken netToken=B", "transfer.cancel netToken=B"}},
        {"the token itself", [] { delete TSP(TSP_Lib_GetToken)(); }, {"getToken"}},
        {"shut-down",
         [] { delete TSP(TSP_Lib_ShutDown)(); },
         {"validateDiskToken netToken=B", "shutdown netToken=B"}},
    };
    for (const Row& row : rows) {
        row.run();
        EXPECT_EQ(tokens.Take(), row.requests) << row.call;
    }
    EXPECT_EQ(service.Wait(), 0);
}

// A token file outside the service's folders is never written: the token counts as not
// validated, so each need fetches a new one and no validation is asked for.
TEST_F(TokenTrafficTest, TokenFileOutsideTheServiceFoldersIsNotWritten) {
    vesk::test::TempDir elsewhere;
    ServiceProcess service = LoggedService({"--data-dir", elsewhere.path().string()});
    ASSERT_TRUE(service.ready());
    // Whatever the cache held is dropped: its file is refused, or unknown to this service.
    GetLanguage();
    LibraryHarness::Instance().TakeRequestLines();
    TokenNames tokens;

    EXPECT_EQ(GetLanguage(), L"");
    EXPECT_EQ(GetLanguage(), L"");
    const std::vector<std::string> expected{"getToken", "getKeyValue netToken=A", "getToken",
                                            "getKeyValue netToken=B"};
    EXPECT_EQ(tokens.Take(), expected);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "disk.token"));

    int code = -1;
    const std::unique_ptr<TransferStatus> started(
        TSP(TSP_Lib_StartTransfer)(&code, Wide(m_server.Url("/p.zip")), m_dest.wide(), true));
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(started->statusId, 902);
    EXPECT_EQ(code, kServiceTokenInvalid);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "disk.token"));
}

}  // namespace
