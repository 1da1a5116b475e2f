// The update with its manifest and packages served from a plain folder by a real nginx, as a
// publisher would serve them: once directly over HTTP, once through the service, whose ranged
// requests nginx answers on its own, and once directly with a download cut off by a kill and
// resumed by the next run.

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "FolderWatch.h"
#include "LoopbackPort.h"
#include "UpdateScenario.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using vesk::test::ChildProcess;
using vesk::test::FreeLoopbackPort;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::TempDir;
using vesk::test::UpdateScenario;
using vesk::test::WriteFileBytes;
namespace fs = std::filesystem;

// Where distributions put nginx (often outside a user's PATH), then the PATH.
std::string FindNginx() {
    std::vector<std::string> folders = {"/usr/sbin", "/usr/local/sbin", "/usr/local/nginx/sbin"};
    if (const char* path = std::getenv("PATH")) {
        for (std::string rest = path; !rest.empty();) {
            const std::size_t colon = rest.find(':');
            folders.push_back(rest.substr(0, colon));
            rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
        }
    }
    for (const std::string& folder : folders) {
        const std::string program = folder + "/nginx";
        if (!folder.empty() && access(program.c_str(), X_OK) == 0) return program;
    }
    return {};
}

// nginx on 127.0.0.1 serving one folder; its configuration, pid file, logs and temporary
// folders all live in a folder of its own.
class Nginx {
public:
    // Starts nginx and returns once it listens; what went wrong, or empty. serverLines go into
    // the server's block as they are.
    std::string Start(const std::string& program, const fs::path& root,
                      const std::string& serverLines) {
        m_port = FreeLoopbackPort();
        const std::string dir = m_dir.path().string() + "/";
        std::string config =
            "daemon off;\nmaster_process off;\npid " + dir + "nginx.pid;\n" + "error_log " + dir +
            "error.log notice;\n" + "events { worker_connections 64; }\nhttp {\n" +
            "  log_format plain '$request $status $http_range';\n" + "  access_log " + dir +
            "access.log plain;\n" + "  default_type application/octet-stream;\n";
        for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
            config += std::string("  ") + temp + "_temp_path " + dir + temp + ";\n";
        config += "  server {\n    listen 127.0.0.1:" + std::to_string(m_port) + ";\n" +
                  "    root " + root.string() + ";\n" + serverLines + "  }\n}\n";
        WriteFileBytes(m_dir / "nginx.conf", config);

        // nginx writes its pid file only after its socket listens: wait for that file (or for
        // nginx to end), without a timer.
        const bool listening = m_process.Start(program, {.args = {"-c", dir + "nginx.conf", "-p",
                                                                  dir, "-e", dir + "error.log"}}) &&
                               vesk::test::WaitForFolder(m_dir.path(), m_process.pid(),
                                                         [this] { return Listening(); });
        if (listening) return {};
        m_process.Kill();
        m_process.Wait();
        return "nginx did not start: " + ReadFileBytes(m_dir / "error.log") + m_process.Error();
    }

    pid_t pid() const { return m_process.pid(); }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    // One line per request: "GET /path HTTP/1.1 STATUS RANGE".
    std::string AccessLog() const { return ReadFileBytes(m_dir / "access.log"); }

private:
    bool Listening() const {
        std::error_code error;
        return fs::file_size(m_dir / "nginx.pid", error) > 0 && !error;
    }

    TempDir m_dir;
    ChildProcess m_process;
    int m_port = 0;
};

// Not compressible, so the package is as large as its data and its transfer takes many reads.
std::string Noise(std::size_t size) {
    std::string data(size, '\0');
    std::uint32_t state = 2024;
    for (char& c : data) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    return data;
}

class NginxUpdate : public testing::Test {
protected:
    void SetUp() override {
        const std::string nginx = FindNginx();
        if (nginx.empty()) GTEST_SKIP() << "nginx is not installed (scripts/setup installs it)";
        const std::string failure = m_nginx.Start(nginx, m_served.path(), ServerLines());
        ASSERT_EQ(failure, "");
        m_scenario.KeepChild(m_nginx.pid());
        const std::vector<ScenarioPackage> chain = {
            {"1.1",
             "patch-1.1.zip",
             {{"readme.txt", "release 1.1"}, {"data/big.bin", m_big, false}}},
            {"1.2", "patch-1.2.zip", {{"readme.txt", "release 1.2"}, {"data/new.txt", "new"}}}};
        ScenarioPackage latest = {"1.2", "full-1.2.zip", {{"readme.txt", "release 1.2"}}};
        latest.size = 50 << 20;  // so the chain is what downloads
        m_scenario.PublishTo(m_served.path(), m_nginx.Url(), chain, latest);
    }

    virtual std::string ServerLines() const { return {}; }

    void ExpectUpdated(const ScenarioRun& run) {
        EXPECT_EQ(m_scenario.InstalledVersion(), "1.2");
        EXPECT_EQ(ReadFileBytes(m_scenario.folder() / "readme.txt"), "release 1.2");
        EXPECT_EQ(ReadFileBytes(m_scenario.folder() / "data/new.txt"), "new");
        EXPECT_TRUE(ReadFileBytes(m_scenario.folder() / "data/big.bin") == m_big);
        EXPECT_THAT(run.clientStarts, ElementsAre("noupdate 12 user token 2"));
        // Everything of the update came from nginx, nothing from the test server.
        for (const auto& request : m_scenario.server().Requests())
            EXPECT_THAT(request.path, Not(HasSubstr("/updates/")));
        EXPECT_THAT(m_nginx.AccessLog(), HasSubstr("GET /updates/veskversion.xml HTTP/1.1 200"));
        EXPECT_THAT(m_nginx.AccessLog(), Not(HasSubstr("full-1.2.zip")));
    }

    const std::string m_big = Noise(3 << 20);
    UpdateScenario m_scenario;
    TempDir m_served;
    Nginx m_nginx;
};

TEST_F(NginxUpdate, DirectlyOverHttp) {
    const ScenarioRun run = m_scenario.Run({"12", "user", "token", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(),
                ElementsAre("Start TSP failed,exit.", "UPdate success and start VESKClient,exit."));
    ExpectUpdated(run);
    for (const char* package : {"patch-1.1.zip", "patch-1.2.zip"}) {
        EXPECT_THAT(m_nginx.AccessLog(),
                    HasSubstr(std::string("GET /updates/") + package + " HTTP/1.1 200"));
    }
}

TEST_F(NginxUpdate, ThroughTheServiceWithByteRanges) {
    ASSERT_TRUE(m_scenario.StartService());
    const ScenarioRun run = m_scenario.Run({"12", "user", "token", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(), ElementsAre("UPdate success and start VESKClient,exit."));
    EXPECT_THAT(run.errors, Not(HasSubstr("Message box")));
    ExpectUpdated(run);
    for (const char* package : {"patch-1.1.zip", "patch-1.2.zip"}) {
        EXPECT_THAT(m_nginx.AccessLog(),
                    HasSubstr(std::string("GET /updates/") + package + " HTTP/1.1 206 bytes="));
    }
}

// Slow enough that the updater can be killed half-way through the first package.
class NginxResume : public NginxUpdate {
protected:
    std::string ServerLines() const override { return "    limit_rate 2m;\n"; }
};

TEST_F(NginxResume, ADirectDownloadKilledHalfWayResumesWithARange) {
    const std::vector<std::string> args = {"12", "user", "token", "2"};
    const auto updater = m_scenario.Start(args);
    ASSERT_TRUE(updater);
    const fs::path part = m_scenario.folder() / "tmp/patch-1.1.zip.part";
    const std::uint64_t whole = m_scenario.PackageBytes("patch-1.1.zip").size();
    std::uint64_t kept = 0;
    const auto halfWay = [&] {
        std::error_code error;
        kept = fs::file_size(part, error);
        return !error && kept >= whole / 2;
    };
    ASSERT_TRUE(vesk::test::WaitForFolder(part.parent_path(), updater->pid(), halfWay));
    updater->Kill();
    m_scenario.Finish(*updater);
    kept = fs::file_size(part);
    ASSERT_LT(kept, whole) << "the download ended before the updater was killed";

    const ScenarioRun run = m_scenario.Run(args);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    ExpectUpdated(run);
    EXPECT_THAT(
        m_nginx.AccessLog(),
        HasSubstr("GET /updates/patch-1.1.zip HTTP/1.1 206 bytes=" + std::to_string(kept) + "-"));
    EXPECT_FALSE(fs::exists(part));
}

}  // namespace
