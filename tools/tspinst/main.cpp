// TSPInst.exe: the stand-in for the service's installer. Run as
//   TSPInst.exe /S --partner=NAME
// it installs TSP.exe (carried inside itself) into InstallFolder(), registers it for the
// current user in the registry stand-in, starts it, and ends once the service listens.
// Exit code 0 on success, 1 when a step failed, 2 on a wrong command line.

#include <cstdio>
#include <cstring>
#include <string>

#include "InstallSteps.h"
#include "Payload.h"

namespace {

constexpr const char* kPartnerSwitch = "--partner=";

bool ParseArguments(int argc, char** argv, std::string& partner) {
    bool silent = false;
    bool partnered = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "/S") == 0) {
            silent = true;
        } else if (std::strncmp(argv[i], kPartnerSwitch, std::strlen(kPartnerSwitch)) == 0) {
            partner = argv[i] + std::strlen(kPartnerSwitch);
            partnered = true;
        }
    }
    return silent && partnered;
}

int Fail(const char* step) {
    std::fprintf(stderr, "TSPInst: %s failed\n", step);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vesk::tsp_installer;
    std::string partner;
    if (!ParseArguments(argc, argv, partner)) {
        std::fprintf(stderr, "usage: TSPInst.exe /S --partner=NAME\n");
        return 2;
    }
    const auto folder = InstallFolder();
    if (!folder) return Fail("finding the install folder");
    if (!PlaceProgram(*folder, ServicePayload())) return Fail("placing TSP.exe");
    if (!Register(*folder, partner)) return Fail("registering the service");
    if (!StartService(*folder)) return Fail("starting the service");
    return 0;
}
