// TSP.exe: the local transfer service. It answers the REST methods on 127.0.0.1:60524, keeps
// a login state and tokens, downloads packages over HTTP or from a swarm with the server as
// a web seed, seeds what it finished from its cache, and ends on "shutdown". It prints "listening"
// on standard output once the port is bound.

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ServiceOptions.h"
#include "ServiceServer.h"
#include "clock/Clock.h"

namespace {

// "WORD PID PPID" appended to the ready file, when there is one: with our id and our
// parent's, so a test can wait for us, or for the installer that started us, to end. One
// write, so lines of services started together never mix.
void AnnounceTo(const std::filesystem::path& readyFile, const char* word) {
    if (readyFile.empty()) return;
    const std::string line =
        std::string(word) + " " + std::to_string(getpid()) + " " + std::to_string(getppid()) + "\n";
    const int fd = open(readyFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    static_cast<void>(write(fd, line.data(), line.size()));
    close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vesk::tsp_service;
    vesk::clock::InstallClockFromEnvironment();
    // Whoever started us may stop reading our output once we listen (the installer does).
    std::signal(SIGPIPE, SIG_IGN);
    std::string error;
    const auto options =
        ParseServiceOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "TSP: %s\n", error.c_str());
        return 2;
    }
    // The disk token file lives here; the library writes it, so the folder must exist.
    std::error_code ignored;
    std::filesystem::create_directories(options->dataDir, ignored);
    ServiceServer server(*options);
    if (!server.Bind()) {
        std::fprintf(stderr, "TSP: cannot listen on %s:%d\n", kServiceHost, options->restPort);
        // Whoever waits for our word learns that none will come.
        AnnounceTo(options->readyFile, "failed");
        return 1;
    }
    std::printf("listening on %s:%d\n", kServiceHost, options->restPort);
    std::fflush(stdout);
    AnnounceTo(options->readyFile, "listening");
    server.Run();
    return 0;
}
