// The connection test in networks of known shape, and the answers tests can fix.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "ChildProcess.h"
#include "net/InternetConnection.h"

using vesk::net::IsInternetConnected;
using vesk::net::SetInternetConnectedForTesting;

namespace {

// The probe's answer in a network of its own holding loopback (up) and what the shell
// commands add, once they have taken effect; empty where the system allows no such network
// or the commands fail.
std::string ProbeInPrivateNetwork(const std::string& commands) {
    const std::string probe =
        std::string(INTERNET_PROBE) + (commands.empty() ? "" : " --wait-online");
    vesk::test::ChildProcess shell;
    EXPECT_TRUE(shell.Start(
        VESK_PRIVATE_NETWORK,
        {.args = {"/bin/sh", "-c", "(true " + commands + ") >/dev/null 2>&1 && exec " + probe},
         .unsetEnv = {"VESK_INTERNET"}}));
    shell.Wait();
    return shell.Error().find("on the machine's network") == std::string::npos ? shell.Output()
                                                                               : "";
}

TEST(InternetConnection, OnlyAnInterfaceBesideLoopbackThatIsUpAndRunningCounts) {
    const std::string loopbackOnly = ProbeInPrivateNetwork("");
    if (loopbackOnly.empty()) GTEST_SKIP() << "no private network here";
    EXPECT_EQ(loopbackOnly, "offline\n");
    const std::string linkPair = ProbeInPrivateNetwork(
        "&& ip link add vesk0 type veth peer name vesk1 && ip link set vesk0 up && "
        "ip link set vesk1 up");
    if (linkPair.empty()) GTEST_SKIP() << "no link pair here";
    EXPECT_EQ(linkPair, "online\n");
}

TEST(InternetConnection, EnvironmentOverridesTheSystemAndTheProcessOverridesBoth) {
    unsetenv("VESK_INTERNET");
    const bool system = IsInternetConnected();
    const std::pair<const char*, bool> settings[] = {
        {"online", true}, {"offline", false}, {"ONLINE", system}, {"1", system}};
    for (const auto& [setting, connected] : settings) {
        setenv("VESK_INTERNET", setting, 1);
        EXPECT_EQ(IsInternetConnected(), connected) << setting;
    }
    SetInternetConnectedForTesting(false);
    setenv("VESK_INTERNET", "online", 1);
    EXPECT_FALSE(IsInternetConnected());
    SetInternetConnectedForTesting(std::nullopt);
    EXPECT_TRUE(IsInternetConnected());
    unsetenv("VESK_INTERNET");
}

}  // namespace
