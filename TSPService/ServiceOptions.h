#pragma once
// The service's options, from its command line and from VESK_TSP_OPTIONS (read first, so the
// command line wins), because the library starts the service without arguments:
//   --version V              version it reports (2.3.0.0)
//   --rest-port N            REST port on 127.0.0.1 (60524); for tests running several
//   --peer-port N            port peers connect to (the one saved under "p2p", else 6881;
//                            0: any free one)
//   --peer-interface A       address peers connect to (0.0.0.0)
//   --login-delay MS         milliseconds after start before it is logged in (0)
//   --login-after N          "loginStatus" answers before it reports "LoggedIn" (0)
//   --data-dir DIR           its own files: disk token, default downloads, the seeding cache
//                            (DIR/cache) and its settings ($XDG_CACHE_HOME/TSP)
//   --connections N          connections per download when the server accepts ranges (4)
//   --slow-ms MS             delay of a "slow" reply (2000)
//   --ready-file PATH        appends "listening PID PPID" to this file (a test's FIFO) once
//                            bound, for a test whose service the library or the installer starts
//   --request-log FILE       appends each request's method name, one a line, followed by
//                            " netToken=TOKEN" when the request carries a network token
//   --upgrade-available 0|1  what "version" says of an upgrade (0)
//   --fault METHOD=KIND[:N][@M]  test behaviour for METHOD ("*": every method), the first
//                            N times or always (after M requests answered as usual): 902, 905,
//                            no-element, http-500, no-reply, slow, status-ID (the real answer,
//                            reporting status ID), shutdown (the service ends after answering)

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FaultPlan.h"

namespace vesk::tsp_service {

struct ServiceOptions {
    std::string version = "2.3.0.0";
    long loginDelayMs = 0;
    long loginAfter = 0;
    std::filesystem::path dataDir;
    int restPort = 60524;
    int peerPort = -1;  // -1: the one saved last, or 6881
    std::string peerInterface = "0.0.0.0";
    int connections = 4;
    long slowMs = 2000;
    bool upgradeAvailable = false;
    std::filesystem::path readyFile;
    std::filesystem::path requestLog;
    std::vector<FaultRule> faults;
};

// Options from the environment and arguments; nullopt with a message on a bad option.
std::optional<ServiceOptions> ParseServiceOptions(const std::vector<std::string>& args,
                                                  std::string& error);

}  // namespace vesk::tsp_service
