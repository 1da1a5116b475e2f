// Bytes a server sends for one package whose first answer breaks off, with our downloader
// resuming the part file against the same downloader fetching it again from the first byte,
// at several cut points; prints both, their times, and last the ratio of the bytes.
//   resume_bench MEGABYTES [CUT_PERCENT...]

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

namespace {

using vesk::bench::MakeFile;

using Clock = std::chrono::steady_clock;
using vesk::test::TestHttpServer;
using vesk::test::TestResponse;

constexpr char kValidator[] = "\"bench\"";

struct Outcome {
    std::uint64_t bytes = 0;
    double seconds = 0;
    bool ok = false;
};

// One download of the file from a server whose first answer breaks off at cut.
Outcome Fetch(const std::filesystem::path& file, std::uint64_t cut, bool resume,
              const std::filesystem::path& out) {
    TestHttpServer server;
    const TestResponse whole = {.file = file, .acceptRanges = true, .etag = kValidator};
    TestResponse broken = whole;
    broken.cutAt = cut;
    server.ServeSequence("/p.zip", {broken, whole});
    CINetDownLoad downloader;
    downloader.Init();
    const std::string url = server.Url("/p.zip");
    const std::wstring wideUrl(url.begin(), url.end());
    const auto start = Clock::now();
    const int result = resume ? downloader.DownLoadPart(wideUrl, out.wstring(), nullptr)
                              : downloader.DownLoad(wideUrl, out.wstring(), nullptr);
    Outcome outcome;
    outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    downloader.Uninit();
    outcome.ok = result == kDownLoadOk &&
                 std::filesystem::file_size(out) == std::filesystem::file_size(file);
    outcome.bytes = server.BodyBytesSent("/p.zip");
    std::filesystem::remove(out);
    std::filesystem::remove(out.string() + ".validator");
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
    std::vector<int> cuts;
    for (int i = 2; i < argc; ++i) cuts.push_back(std::atoi(argv[i]));
    if (cuts.empty()) cuts = {10, 50, 90};
    vesk::test::TempDir dir;
    const auto file = dir / "package.zip";
    const std::uint64_t size = megabytes << 20;
    MakeFile(file, size);

    double restartBytes = 0;
    double resumeBytes = 0;
    bool ok = true;
    for (const int percent : cuts) {
        const std::uint64_t cut = size * static_cast<std::uint64_t>(percent) / 100;
        const Outcome restart = Fetch(file, cut, false, dir / "restart.bin");
        const Outcome resume = Fetch(file, cut, true, dir / "resume.part");
        ok = ok && restart.ok && resume.ok;
        restartBytes += static_cast<double>(restart.bytes);
        resumeBytes += static_cast<double>(resume.bytes);
        std::printf(
            "cut at %d%% of %llu MB: restart %llu bytes served (%.2f x) in %.2f s, resume %llu "
            "bytes served (%.2f x) in %.2f s\n",
            percent, static_cast<unsigned long long>(megabytes),
            static_cast<unsigned long long>(restart.bytes),
            static_cast<double>(restart.bytes) / static_cast<double>(size), restart.seconds,
            static_cast<unsigned long long>(resume.bytes),
            static_cast<double>(resume.bytes) / static_cast<double>(size), resume.seconds);
        std::fflush(stdout);
    }
    if (!ok) std::fprintf(stderr, "a download did not end with the whole file\n");
    std::printf("resume: ratio %.2f\n", resumeBytes > 0 ? restartBytes / resumeBytes : 0.0);
    return ok ? 0 : 1;
}
