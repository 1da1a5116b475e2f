// vesk_update_server: serves one folder read-only over HTTP on 127.0.0.1 for the demo's
// updates. Its first line on standard output names the address; each request is logged on
// one line to standard error or the file "--log" names; SIGINT and SIGTERM end it cleanly.
// "--rate KB" slows the packages' transfers down so that a download can be watched;
// "--server-rate BYTES" limits all transfers together, as a publisher's uplink would.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "FileServer.h"
#include "ServerOptions.h"

namespace {

int g_stopWrite = -1;

void OnStopSignal(int) {
    const char byte = 1;
    static_cast<void>(write(g_stopWrite, &byte, 1));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vesk::update_server;
    std::string error;
    const auto options = ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "vesk_update_server: %s\n", error.c_str());
        return 2;
    }
    ServedFolder folder;
    if (!folder.SetRoot(options->root)) {
        std::fprintf(stderr, "vesk_update_server: %s is no folder\n", options->root.c_str());
        return 2;
    }
    int stopPipe[2];
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    g_stopWrite = stopPipe[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A client that leaves mid-transfer must not end us.
    std::signal(SIGPIPE, SIG_IGN);

    std::FILE* log = stderr;
    if (!options->logPath.empty()) {
        log = std::fopen(options->logPath.c_str(), "ae");
        if (!log) {
            std::fprintf(stderr, "vesk_update_server: cannot write %s\n", options->logPath.c_str());
            return 2;
        }
    }
    FileServer server(std::move(folder), log, options->rateKb, options->serverRate);
    const int port = server.Bind(options->port);
    if (port < 0) {
        std::fprintf(stderr, "vesk_update_server: cannot listen on %s:%d\n", kServerHost,
                     options->port);
        return 1;
    }
    std::printf("listening on http://%s:%d/\n", kServerHost, port);
    std::fflush(stdout);
    server.Run(stopPipe[0]);
    return 0;
}
