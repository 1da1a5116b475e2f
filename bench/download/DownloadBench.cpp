// Fetches one large file from a loopback server with our downloader and with the curl
// command-line tool, alternating, and prints both throughputs and their ratio.
//   download_bench MEGABYTES ROUNDS

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "INetDownLoad.h"
#include "PatternFile.h"
#include "TempDir.h"
#include "TestHttpServer.h"

extern char** environ;

namespace {

using vesk::bench::MakeFile;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Ours(const std::string& url, const std::filesystem::path& out) {
    CINetDownLoad downloader;
    downloader.Init();
    const auto start = Clock::now();
    const std::wstring wideUrl(url.begin(), url.end());
    const int result = downloader.DownLoad(wideUrl, out.wstring(), nullptr);
    const double seconds = Seconds(start);
    downloader.Uninit();
    if (result != 0) std::fprintf(stderr, "our download failed: %d\n", result);
    return seconds;
}

double Curl(const std::string& url, const std::filesystem::path& out) {
    std::vector<std::string> args = {"curl", "-s", "-f", "-o", out.string(), url};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    const double seconds = Seconds(start);
    if (status != 0) std::fprintf(stderr, "curl failed: %d\n", status);
    return seconds;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    vesk::test::TempDir dir;
    vesk::test::TestHttpServer server;
    const auto small = dir / "small.bin";
    const auto large = dir / "large.bin";
    MakeFile(small, 50ull << 20);
    MakeFile(large, megabytes << 20);
    server.Serve("/small.bin", {.file = small});
    server.Serve("/large.bin", {.file = large});

    Ours(server.Url("/small.bin"), dir / "out-small");
    std::filesystem::remove(dir / "out-small");
    const long rssSmall = PeakRssKb();

    const double mb = static_cast<double>(megabytes);
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        // Each tool goes first every other round, so neither always meets the disk after
        // the other's writes.
        double ours = 0;
        double curl = 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + round) % 2 == 0)
                ours = mb / Ours(server.Url("/large.bin"), dir / "out");
            else
                curl = mb / Curl(server.Url("/large.bin"), dir / "out");
            std::filesystem::remove(dir / "out");
        }
        ratios.push_back(ours / curl);
        std::printf("round %d: CINetDownLoad %.0f MB/s, curl %.0f MB/s\n", round, ours, curl);
        std::fflush(stdout);
    }
    std::printf("peak RSS: %ld KiB after a 50 MB download, %ld KiB after %llu MB downloads\n",
                rssSmall, PeakRssKb(), static_cast<unsigned long long>(megabytes));
    std::printf("download: ratio %.2f\n", Median(ratios));
    return 0;
}
