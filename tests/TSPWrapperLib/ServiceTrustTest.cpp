// Who the library and the service believe on 127.0.0.1:60524: a listener of another user is
// never asked, a reply longer than any real one is none, the service answers only its own
// user, and a transfer into a folder of the caller's choosing needs a validated token.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "HttpGet.h"
#include "LibraryHarness.h"
#include "OtherUser.h"
#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "fs/Paths.h"
#include "registry/Registry.h"

namespace {

using vesk::test::ChildProcess;
using vesk::test::LibraryHarness;
using vesk::test::ServiceProcess;

constexpr const char* kServicePort = "60524";
constexpr const wchar_t* kServiceKey = L"Software\\Tirsa Networks\\TSP";

// A program on the service's port that answers as a logged-in service would, each body
// padded to pad bytes; as another user when asked. It prints each request it reads.
class PortHolder {
public:
    explicit PortHolder(bool otherUser, std::size_t pad = 0) {
        std::vector<std::string> args;
        if (otherUser) args = {"--uid", vesk::test::kOtherUserId};
        args.insert(args.end(), {"listen", kServicePort, std::to_string(pad)});
        m_process.Start(VESK_OTHER_USER, {.args = args});
        m_ready = m_process.ReadLine().value_or("").starts_with("listening");
    }
    bool ready() const { return m_ready; }
    // Every request it read, once it has been stopped.
    std::string Stop() {
        m_process.Kill();
        m_process.Wait();
        const std::string& output = m_process.Output();
        return output.substr(output.find('\n') + 1);
    }

private:
    ChildProcess m_process;
    bool m_ready = false;
};

std::string LibraryLog() {
    const std::filesystem::path host = std::filesystem::read_symlink("/proc/self/exe");
    return vesk::test::ReadFileBytes(host.parent_path() / "Tirsa_TSP_Temp.log");
}

class ServiceTrustTest : public ::testing::Test {
protected:
    ServiceTrustTest() : m_harness(LibraryHarness::Instance()) { m_harness.ForgetInstallation(); }
    ~ServiceTrustTest() override { m_harness.StopStartedServices(); }

    LibraryHarness& m_harness;
};

// The built service is registered, so a library that believed the port would launch it and
// take the stranger's word for its login.
TEST_F(ServiceTrustTest, AListenerOfAnotherUserIsNeverAsked) {
    if (!vesk::test::CanRunAsOtherUser()) GTEST_SKIP() << vesk::test::kNeedsRoot;
    ASSERT_TRUE(vesk::registry::WriteString(kServiceKey, L"Version Number", L"2.3.0.0"));
    ASSERT_TRUE(vesk::registry::WriteString(
        kServiceKey, L"Program Directory",
        std::filesystem::path(TSP_SERVICE_PROGRAM).parent_path().wstring()));
    PortHolder stranger(true);
    ASSERT_TRUE(stranger.ready());
    const std::size_t started = m_harness.Announcements();

    int code = -1;
    EXPECT_FALSE(TSP(TSP_Lib_StartTSP)(&code, L"Vesk"));
    EXPECT_EQ(code, kServiceLaunchFailed);
    EXPECT_FALSE(TSP(TSP_Lib_CheckAndReStartTSP)(&code));
    EXPECT_EQ(code, kServiceLaunchFailed);
    EXPECT_EQ(std::unique_ptr<VersionInfo>(TSP(TSP_Lib_Version)()), nullptr);
    EXPECT_FALSE(TSP(TSP_Lib_CheckTSPIsLoggedIn)());
    EXPECT_EQ(m_harness.Announcements(), started);
    EXPECT_EQ(stranger.Stop(), "");
    EXPECT_NE(LibraryLog().find("held by user " + std::string(vesk::test::kOtherUserId)),
              std::string::npos);
}

// No reply of the service comes near a mebibyte: a longer one fails the call instead of
// being read as far as it goes.
TEST_F(ServiceTrustTest, AReplyLongerThanAnyRealOneIsNoReply) {
    for (const std::size_t size : {vesk::tsp::kMaxServiceReply, vesk::tsp::kMaxServiceReply + 1}) {
        PortHolder own(false, size);
        ASSERT_TRUE(own.ready());
        const std::unique_ptr<VersionInfo> version(TSP(TSP_Lib_Version)());
        if (size <= vesk::tsp::kMaxServiceReply) {
            ASSERT_NE(version, nullptr);
            EXPECT_EQ(version->version, L"2.3.0.0");
        } else {
            EXPECT_EQ(version, nullptr);
        }
        EXPECT_EQ(own.Stop(), "request /rest/version?format=xml\n");
    }
}

TEST_F(ServiceTrustTest, TheServiceAnswersOnlyItsOwnUser) {
    if (!vesk::test::CanRunAsOtherUser()) GTEST_SKIP() << vesk::test::kNeedsRoot;
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    const auto answer = [](std::vector<std::string> args) {
        args.insert(args.end(), {"get", kServicePort, "/rest/version?format=xml"});
        ChildProcess caller;
        caller.Start(VESK_OTHER_USER, {.args = args});
        caller.Wait();
        return caller.Output();
    };
    EXPECT_EQ(answer({"--uid", vesk::test::kOtherUserId}), "answer 0\n");
    EXPECT_NE(answer({}), "answer 0\n");
    EXPECT_NE(std::unique_ptr<VersionInfo>(TSP(TSP_Lib_Version)()), nullptr);
}

// Asked directly, as any local program could ask it.
TEST_F(ServiceTrustTest, ATransferIntoAFolderOfTheCallersChoiceNeedsAValidatedToken) {
    vesk::test::TestHttpServer server;
    server.Serve("/p.zip", {.body = "package"});
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    vesk::test::TempDir chosen;
    const std::unique_ptr<TokenInfo> token(TSP(TSP_Lib_GetToken)());
    ASSERT_NE(token, nullptr);
    const std::string unproven(token->netToken.begin(), token->netToken.end());
    const std::string start =
        "http://127.0.0.1:60524/rest/transfer.start?format=xml&packageUrl=" + server.Url("/p.zip") +
        "&setP2P=off";
    for (const std::string& netToken : {std::string(), unproven}) {
        const std::string reply = vesk::tsp::HttpGet(vesk::fs::WidePath(
            start + "&destDir=" + chosen.path().string() + "&netToken=" + netToken));
        EXPECT_NE(reply.find("<statusId>902</statusId>"), std::string::npos) << reply;
        EXPECT_EQ(reply.find("torrentId"), std::string::npos) << reply;
    }
    const std::string own = vesk::tsp::HttpGet(vesk::fs::WidePath(start));
    EXPECT_NE(own.find("<torrentId>"), std::string::npos) << own;
    EXPECT_TRUE(std::filesystem::is_empty(chosen.path()));
}

}  // namespace
