#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "ChildProcess.h"
#include "TempDir.h"

namespace {

using vesk::test::ChildProcess;

constexpr int kServicePort = 60524;
constexpr const char* kOnMachineNetwork = "on the machine's network";

// Something on the machine holds the service's port: we do, unless another program
// already did.
class PrivateNetworkTest : public ::testing::Test {
protected:
    PrivateNetworkTest() : m_holder(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(kServicePort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(m_holder, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            listen(m_holder, 1);
    }
    ~PrivateNetworkTest() override { close(m_holder); }

    // Runs program through the wrapper, with the service's settings of a test left out.
    bool Start(ChildProcess& child, std::vector<std::string> args) {
        ChildProcess::Options options;
        options.args = std::move(args);
        options.unsetEnv = {"VESK_TSP_OPTIONS", "VESK_CLOCK"};
        return child.Start(VESK_PRIVATE_NETWORK, options);
    }

    int m_holder;
};

TEST_F(PrivateNetworkTest, ServiceGetsItsPortWhileTheMachineHoldsIt) {
    vesk::test::TempDir data;
    ChildProcess service;
    ASSERT_TRUE(Start(service, {TSP_SERVICE_PROGRAM, "--data-dir", data.path().string()}));
    const auto line = service.ReadLine();
    if (!line) {
        service.Wait();
        if (service.Error().find(kOnMachineNetwork) != std::string::npos)
            GTEST_SKIP() << service.Error();
        FAIL() << service.Error();
    }
    EXPECT_TRUE(line->starts_with("listening")) << *line;
}

TEST_F(PrivateNetworkTest, ServiceTestsPassWhileTheMachineHoldsThePort) {
    ChildProcess tests;
    ASSERT_TRUE(Start(tests, {TSP_SERVICE_TEST,
                              "--gtest_filter=TransferServiceTest.KeyValues*:"
                              "TransferServiceTest.SecondService*:LifecycleTest.RunningService*"}));
    const int code = tests.Wait();
    if (code != 0 && tests.Error().find(kOnMachineNetwork) != std::string::npos)
        GTEST_SKIP() << tests.Error();
    EXPECT_EQ(code, 0) << tests.Output() << tests.Error();
    EXPECT_NE(tests.Output().find("[  PASSED  ] 3 tests"), std::string::npos) << tests.Output();
}

TEST_F(PrivateNetworkTest, ProgramGetsItsArgumentsAndGivesItsExitCode) {
    ChildProcess shell;
    ASSERT_TRUE(Start(shell, {"/bin/sh", "-c", "echo \"$@\"; exit 3", "sh", "one", "two words"}));
    EXPECT_EQ(shell.Wait(), 3);
    EXPECT_EQ(shell.Output(), "one two words\n");
}

}  // namespace
