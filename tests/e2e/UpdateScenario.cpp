#include "UpdateScenario.h"

#include <openssl/evp.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "digest/FileDigest.h"
#include "registry/HiveText.h"
#include "text/Utf.h"

namespace vesk::test {
namespace {

const char kUpdatesPath[] = "/updates/";
const char kManifestPath[] = "/updates/veskversion.xml";

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + value + "\"";
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

UpdateScenario::UpdateScenario()
    : m_baseUrl(m_server.Url("")),
      m_serviceFolder(m_install.programFolder().parent_path() / "tsp") {
    // The client outlives the updater that started it; it is ours to wait for.
    BecomeSubreaper();
    m_install.AddDemoStringTable();
    m_install.AddTheme();
    m_install.AddClient();
    m_install.AddTransferLibrary();
    std::filesystem::create_directories(folder() / "tmp");
    WriteAddresses("1.0");
    // No service unless a test starts one; the library's installer is not to be had.
    m_install.SetEnv("VESK_TSP_DOWNLOAD_SERVER", m_server.Url(""));
}

UpdateScenario::~UpdateScenario() {
    if (m_service) {
        m_service->Kill();
        m_service->Wait();
    }
    // A service the updater started outlives it, as on a player's machine; not past the test.
    KillProgramsUnder(m_serviceFolder.string());
}

void UpdateScenario::WriteAddresses(const std::string& version) {
    m_install.AddFile("Config.ini", "[Locale]\r\nLanguage=1\r\n[VeskVersionURL]\r\nUpdateAddress=" +
                                        m_baseUrl + kUpdatesPath + "\r\n");
    SetInstalledVersion(version);
}

void UpdateScenario::SetInstalledVersion(const std::string& version) {
    m_install.AddFile("version.ini", "[versioninfo]\r\nversion=" + version +
                                         "\r\nurl=" + m_baseUrl + kManifestPath + "\r\n");
}

std::string UpdateScenario::InstalledVersion() const {
    std::istringstream in(ReadFileBytes(folder() / "version.ini"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("version=")) return line.substr(8);
    }
    return {};
}

void UpdateScenario::AddPackage(const ScenarioPackage& package, const std::string& updatesUrl,
                                std::string& manifest, const char* element) {
    const std::string bytes = BuildZip(package.entries);
    m_packages[package.name] = bytes;
    manifest +=
        std::string("<") + element + Attribute("id", package.id) + Attribute("name", package.name) +
        Attribute("url", updatesUrl + package.name) +
        Attribute("size",
                  std::to_string(package.size.value_or(static_cast<std::int64_t>(bytes.size())))) +
        Attribute("filecount", std::to_string(package.entries.size()));
    if (!package.withoutMd5) manifest += Attribute("md5", package.md5.value_or(Md5Hex(bytes)));
    if (m_signedExpires)
        manifest += Attribute("sha256", package.sha256.value_or(*digest::Sha256Hex(bytes)));
    manifest += "/>\n";
}

std::string UpdateScenario::BuildRelease(const std::vector<ScenarioPackage>& chain,
                                         const ScenarioPackage& latest,
                                         const std::string& updatesUrl) {
    std::string manifest = "<?xml version=\"1.0\"?>\n<root" +
                           (m_signedExpires ? Attribute("expires", *m_signedExpires) : "") + ">\n";
    AddPackage(latest, updatesUrl, manifest, "latestpackage");
    for (const ScenarioPackage& package : chain)
        AddPackage(package, updatesUrl, manifest, "updatepackage");
    m_manifest = manifest + "</root>\n";
    return m_manifest;
}

void UpdateScenario::Publish(const std::vector<ScenarioPackage>& chain,
                             const ScenarioPackage& latest) {
    const std::string manifest = BuildRelease(chain, latest, m_server.Url(kUpdatesPath));
    m_server.Serve(kManifestPath, {.body = manifest});
    m_server.Serve(kUpdatesPath + latest.name, {.body = m_packages[latest.name]});
    for (const ScenarioPackage& package : chain)
        m_server.Serve(kUpdatesPath + package.name, {.body = m_packages[package.name]});
}

void UpdateScenario::PublishTo(const std::filesystem::path& folder, const std::string& baseUrl,
                               const std::vector<ScenarioPackage>& chain,
                               const ScenarioPackage& latest) {
    const std::filesystem::path updates = folder / "updates";
    const std::string version = InstalledVersion();
    m_baseUrl = baseUrl;
    WriteAddresses(version);
    std::filesystem::create_directories(updates);
    WriteFileBytes(updates / "veskversion.xml",
                   BuildRelease(chain, latest, baseUrl + kUpdatesPath));
    WriteFileBytes(updates / latest.name, m_packages[latest.name]);
    for (const ScenarioPackage& package : chain)
        WriteFileBytes(updates / package.name, m_packages[package.name]);
}

std::string UpdateScenario::PackageBytes(const std::string& name) const {
    const auto found = m_packages.find(name);
    return found == m_packages.end() ? std::string() : found->second;
}

bool UpdateScenario::StartService(std::vector<std::string> options) {
    std::filesystem::create_directories(m_serviceFolder);
    std::filesystem::copy_file(VESK_TSP_SERVICE, m_serviceFolder / "TSP.exe");
    registry::Hive hive;
    registry::HiveKey& key = hive.Create(L"Software\\Tirsa Networks\\TSP");
    key.values = {{L"Version Number", L"2.3.0.0"},
                  {L"Program Directory", text::Utf8ToWide(m_serviceFolder.string() + "/")}};
    WriteFileBytes(m_install.home() / ".config/VeskRegistry/HKEY_CURRENT_USER.reg",
                   registry::RenderHive(hive));
    ChildProcess::Options run =
        m_install.UpdaterOptions({"--data-dir", (m_serviceFolder / "data").string(),
                                  "--request-log", (m_serviceFolder / "requests").string()});
    run.args.insert(run.args.end(), options.begin(), options.end());
    run.unsetEnv.push_back("VESK_CLOCK");
    m_service = std::make_unique<ChildProcess>();
    if (!m_service->Start((m_serviceFolder / "TSP.exe").string(), run)) return false;
    m_keep.push_back(m_service->pid());
    const auto line = m_service->ReadLine();
    return line && line->starts_with("listening");
}

std::vector<std::string> UpdateScenario::ServiceRequests() const {
    std::vector<std::string> methods;
    std::ifstream in(m_serviceFolder / "requests");
    for (std::string line; std::getline(in, line);)
        methods.push_back(line.substr(0, line.find(' ')));
    return methods;
}

void UpdateScenario::KillService() {
    if (!m_service) return;
    m_service->Kill();
    m_service->Wait();
}

std::vector<std::string> ScenarioRun::Flow() const {
    std::vector<std::string> lines = log;
    if (!lines.empty() && lines.front().starts_with("Start-up done")) lines.erase(lines.begin());
    return lines;
}

ScenarioRun UpdateScenario::Run(std::vector<std::string> args) {
    ScenarioRun run;
    run.exitCode = m_install.RunUpdater(std::move(args), &run.errors);
    return Finished(std::move(run));
}

std::unique_ptr<ChildProcess> UpdateScenario::Start(std::vector<std::string> args) {
    auto updater = std::make_unique<ChildProcess>();
    if (!updater->Start(m_install.UpdaterPath(), m_install.UpdaterOptions(std::move(args))))
        return nullptr;
    return updater;
}

ScenarioRun UpdateScenario::Finish(ChildProcess& updater) {
    ScenarioRun run;
    run.exitCode = updater.Wait();
    run.errors = updater.Error();
    return Finished(std::move(run));
}

ScenarioRun UpdateScenario::FinishStoppingServices(ChildProcess& updater) {
    updater.Wait();
    KillProgramsUnder(m_serviceFolder.string());
    return Finish(updater);
}

ScenarioRun UpdateScenario::Finished(ScenarioRun run) {
    ReapChildrenExcept(m_keep);
    run.log = m_install.LogMessages();
    run.clientStarts = m_install.ClientStarts();
    return run;
}

std::vector<std::filesystem::path> UpdateScenario::FilesOutside() const {
    const std::filesystem::path root = m_install.programFolder().parent_path();
    std::vector<std::filesystem::path> outside;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        const auto name = entry.path().filename();
        if (name != "install" && name != "home" && name != "tsp") outside.push_back(entry.path());
    }
    return outside;
}

}  // namespace vesk::test
