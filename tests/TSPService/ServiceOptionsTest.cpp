#include "ServiceOptions.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace vesk::tsp_service {
namespace {

// The ports and the peer address, from the command line or the environment the library
// leaves; out-of-range values are refused rather than wrapped.
TEST(ServiceOptionsTest, ReadsThePortsAndThePeerAddress) {
    unsetenv("VESK_TSP_OPTIONS");
    struct Row {
        std::vector<std::string> args;
        bool valid;
        int restPort;
        int peerPort;
        std::string peerInterface;
    };
    const Row rows[] = {
        {{}, true, 60524, -1, "0.0.0.0"},
        {{"--rest-port", "61000", "--peer-port", "0", "--peer-interface", "127.0.0.1"},
         true,
         61000,
         0,
         "127.0.0.1"},
        {{"--peer-port", "65535"}, true, 60524, 65535, "0.0.0.0"},
        {{"--rest-port", "0"}, false, 0, 0, ""},
        {{"--rest-port", "65536"}, false, 0, 0, ""},
        {{"--peer-port", "70000"}, false, 0, 0, ""},
        {{"--peer-port", "-1"}, false, 0, 0, ""},
        {{"--peer-interface"}, false, 0, 0, ""},
    };
    for (const Row& row : rows) {
        std::string error;
        const auto options = ParseServiceOptions(row.args, error);
        ASSERT_EQ(options.has_value(), row.valid) << testing::PrintToString(row.args);
        if (!options) continue;
        EXPECT_EQ(options->restPort, row.restPort);
        EXPECT_EQ(options->peerPort, row.peerPort);
        EXPECT_EQ(options->peerInterface, row.peerInterface);
    }
    setenv("VESK_TSP_OPTIONS", "--rest-port 62000 --peer-port 7000", 1);
    std::string error;
    const auto options = ParseServiceOptions({"--peer-port", "7001"}, error);
    unsetenv("VESK_TSP_OPTIONS");
    ASSERT_TRUE(options);
    EXPECT_EQ(options->restPort, 62000);
    EXPECT_EQ(options->peerPort, 7001);
}

}  // namespace
}  // namespace vesk::tsp_service
