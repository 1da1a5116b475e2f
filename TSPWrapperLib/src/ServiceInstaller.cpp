#include "ServiceInstaller.h"

#include <cstdlib>
#include <filesystem>

#include "HttpGet.h"
#include "KeptForTheProcess.h"
#include "RunProgram.h"
#include "ServiceRegistration.h"
#include "fs/Files.h"
#include "fs/Paths.h"
#include "fs/WholeFile.h"
#include "process/Launch.h"
#include "text/Utf.h"

namespace vesk::tsp {
namespace {

// The maker's download server; the demo and the tests name their own.
constexpr const wchar_t* kDefaultDownloadServer = L"http://download.tirsa.test";
constexpr const char* kDownloadServerVariable = "VESK_TSP_DOWNLOAD_SERVER";
constexpr const wchar_t* kInstallerPath = L"/tirsa/tsp/TSPInst.exe";
constexpr const wchar_t* kTemporaryFolder = L"Tirsa_Temp/";
constexpr const wchar_t* kInstallerArguments = L"/S --partner=";

std::wstring FileNameOf(const std::wstring& url) {
    return url.substr(url.rfind(L'/') + 1);
}

// The installer's file, or nullopt when it could not be written whole.
std::optional<std::wstring> SaveInstaller(const std::string& body) {
    const auto folder = InstallerFolder();
    if (!folder) return std::nullopt;
    const std::wstring path = *folder + FileNameOf(InstallerUrl());
    // Beside and renamed over: a copy from an earlier attempt may still be running.
    if (!fs::WriteWholeFile(path, body, /*executable=*/true)) return std::nullopt;
    return path;
}

bool LargeEnough(const std::wstring& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(fs::NativePath(path), error);
    return !error && size >= kSmallestInstaller;
}

}  // namespace

std::wstring InstallerUrl() {
    const char* server = std::getenv(kDownloadServerVariable);
    const std::wstring base = server && *server ? text::Utf8ToWide(server) : kDefaultDownloadServer;
    return base + kInstallerPath;
}

std::optional<std::wstring> InstallerFolder() {
    const auto local = fs::LocalAppDataFolder();
    if (!local) return std::nullopt;
    const std::wstring folder = *local + kTemporaryFolder;
    if (!fs::CreateFolderTree(folder)) return std::nullopt;
    fs::SetReadOnly(folder, false);
    return folder;
}

ServiceInstaller& ServiceInstaller::Instance() {
    static ServiceInstaller* const installer = KeptForTheProcess(new ServiceInstaller);
    return *installer;
}

bool ServiceInstaller::Start(const std::wstring& partner) {
    std::lock_guard lock(m_mutex);
    if (m_process || m_state == kInstalled) return true;
    // However long a slow line takes, as long as the installer keeps arriving.
    const std::string body = HttpGet(InstallerUrl(), m_downloadLimits);
    if (body.empty()) return false;
    const auto path = SaveInstaller(body);
    if (!path || !LargeEnough(*path)) return false;
    fs::MakeExecutable(*path);
    m_process = RunProgram(*path, kInstallerArguments + partner);
    if (!m_process) return false;
    m_state = kRunning;
    return true;
}

void ServiceInstaller::SetDownloadLimits(HttpLimits limits) {
    std::lock_guard lock(m_mutex);
    m_downloadLimits = limits;
}

ServiceInstaller::State ServiceInstaller::Status() {
    std::lock_guard lock(m_mutex);
    if (m_process && process::HasEnded(*m_process)) {
        m_state = kInstalled;
        m_process.reset();
    } else if (m_state != kInstalled) {
        return m_state;
    }
    if (!ReadServiceRegistration().present) m_state = kIdle;
    return m_state;
}

}  // namespace vesk::tsp
