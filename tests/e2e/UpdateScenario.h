#pragma once
// One run of the real updater against a real update server: an installation with the demo's
// texts and theme, the stand-in client and the transfer library; a test HTTP server on
// 127.0.0.1 that serves the manifest and the packages (real ZIP files); and, when asked,
// the stand-in transfer service registered and running, as the library expects it.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Installation.h"
#include "TestHttpServer.h"
#include "TestZip.h"

namespace vesk::test {

struct ScenarioPackage {
    std::string id;
    std::string name;  // served at /updates/NAME
    std::vector<TestZipEntry> entries;
    // What the manifest says; by default the real size and md5 of the package.
    std::optional<std::int64_t> size;
    std::optional<std::string> md5;
    bool withoutMd5 = false;
    // What a signed manifest says; by default the real sha256 of the package.
    std::optional<std::string> sha256;
};

struct ScenarioRun {
    int exitCode = -1;
    std::string errors;                     // box titles and texts, on the headless backend
    std::vector<std::string> log;           // messages in order
    std::vector<std::string> clientStarts;  // arguments of each start

    // The flow's log lines, after the start-up's own.
    std::vector<std::string> Flow() const;
};

class UpdateScenario {
public:
    UpdateScenario();
    ~UpdateScenario();

    Installation& install() { return m_install; }
    TestHttpServer& server() { return m_server; }
    std::filesystem::path folder() const { return m_install.programFolder(); }

    void SetInstalledVersion(const std::string& version);
    std::string InstalledVersion() const;
    // The chain of update packages, then the latest one, as the manifest lists them; each
    // package is built and served.
    void Publish(const std::vector<ScenarioPackage>& chain, const ScenarioPackage& latest);
    // The same release written into folder ("updates/" below it) for another server that
    // serves it at baseUrl ("http://HOST:PORT"); the installation's addresses point there.
    void PublishTo(const std::filesystem::path& folder, const std::string& baseUrl,
                   const std::vector<ScenarioPackage>& chain, const ScenarioPackage& latest);
    std::string PackageBytes(const std::string& name) const;
    // Later releases are made as a publisher who signs makes them: every package with its
    // sha256 and "root" with the expiry. The signature itself is the test's to serve.
    void MakeSignedReleases(std::string expires) { m_signedExpires = std::move(expires); }
    // The manifest's bytes as last published.
    const std::string& manifest() const { return m_manifest; }

    // The service, registered for the installation's user and running; empty options for a
    // well-behaved one.
    bool StartService(std::vector<std::string> options = {});
    // Each request method the service saw, in order.
    std::vector<std::string> ServiceRequests() const;
    // Kills the service StartService started, as a crash would end it.
    void KillService();

    // Runs the updater to its end, and waits for what it started (the client) to end too.
    ScenarioRun Run(std::vector<std::string> args = {});
    // The same in two halves, for a test that acts while the updater runs: Start leaves it
    // running (null when it cannot start), Finish waits for its end as Run does.
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> args = {});
    ScenarioRun Finish(ChildProcess& updater);
    // Finish for a run in which the library may have launched the service itself: the updater
    // waited for, then every service running from the registered folder ended.
    ScenarioRun FinishStoppingServices(ChildProcess& updater);
    std::filesystem::path serviceFolder() const { return m_serviceFolder; }
    // A child of the test's own that must not be waited for after a run.
    void KeepChild(pid_t pid) { m_keep.push_back(pid); }

    // Every file below the program folder and the home folder, for the check that nothing
    // landed outside them.
    std::vector<std::filesystem::path> FilesOutside() const;

private:
    // Builds each package (kept for PackageBytes) and the manifest that names them below
    // updatesUrl.
    std::string BuildRelease(const std::vector<ScenarioPackage>& chain,
                             const ScenarioPackage& latest, const std::string& updatesUrl);
    void AddPackage(const ScenarioPackage& package, const std::string& updatesUrl,
                    std::string& manifest, const char* element);
    void WriteAddresses(const std::string& version);
    // The rest of a run once the updater has ended: its children, log and client starts.
    ScenarioRun Finished(ScenarioRun run);

    Installation m_install;
    TestHttpServer m_server;
    std::map<std::string, std::string> m_packages;
    std::optional<std::string> m_signedExpires;
    std::string m_manifest;
    std::string m_baseUrl;  // where the manifest and the packages are served
    std::filesystem::path m_serviceFolder;
    std::unique_ptr<ChildProcess> m_service;
    std::vector<pid_t> m_keep;
};

std::string Md5Hex(const std::string& bytes);

}  // namespace vesk::test
