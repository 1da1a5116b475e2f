// TSP.exe: the stand-in for the local transfer service. It answers the REST methods on
// 127.0.0.1:60524, keeps a login state and tokens, downloads packages for real, and ends
// on "shutdown". It prints "listening" on standard output once the port is bound.

#include <cstdio>
#include <string>
#include <vector>

#include "ServiceOptions.h"
#include "ServiceServer.h"
#include "clock/Clock.h"

int main(int argc, char** argv) {
    using namespace vesk::tsp_service;
    vesk::clock::InstallClockFromEnvironment();
    std::string error;
    const auto options =
        ParseServiceOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "TSP: %s\n", error.c_str());
        return 2;
    }
    ServiceServer server(*options);
    if (!server.Bind()) {
        std::fprintf(stderr, "TSP: cannot listen on %s:%d\n", kServiceHost, kServicePort);
        return 1;
    }
    std::printf("listening on %s:%d\n", kServiceHost, kServicePort);
    std::fflush(stdout);
    server.Run();
    return 0;
}
