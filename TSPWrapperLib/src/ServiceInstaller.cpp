#include "ServiceInstaller.h"

#include "InstallerSignature.h"
#include "KeptForTheProcess.h"
#include "LibLog.h"
#include "RunProgram.h"
#include "ServiceRegistration.h"
#include "digest/PublisherKey.h"
#include "dynlib/ModuleFolder.h"
#include "fs/Files.h"
#include "fs/Paths.h"
#include "fs/PrivateFolder.h"
#include "process/Launch.h"

namespace vesk::tsp {
namespace {

constexpr const wchar_t* kTemporaryFolder = L"Tirsa_Temp/";
constexpr const wchar_t* kInstallerArguments = L"/S --partner=";
constexpr const wchar_t* kInstallerRefused = L"Service installer not run: ";

std::wstring FileNameOf(const std::wstring& url) {
    return url.substr(url.rfind(L'/') + 1);
}

// The library's own folder, where its installation keeps the publisher's key; the host
// program may lie elsewhere.
std::wstring LibraryFolder() {
    static const char anchor = 0;
    return dynlib::FolderOfModuleHolding(&anchor);
}

// The installer's file, in a folder made afresh that only this user may enter, or nullopt
// when it could not be written whole as a new file there.
std::optional<std::wstring> SaveInstaller(const std::wstring& url, const std::string& body) {
    const auto folder = InstallerFolder();
    fs::PrivateFolder place;
    if (!folder || !fs::PrivateFolder::MakeFresh(*folder, place)) return std::nullopt;
    const std::wstring name = FileNameOf(url);
    if (!place.WriteNewFile(name, body, /*executable=*/true)) return std::nullopt;
    return *folder + name;
}

}  // namespace

std::optional<std::wstring> InstallerFolder() {
    const auto local = fs::LocalAppDataFolder();
    if (!local || !fs::CreateFolderTree(*local)) return std::nullopt;
    return *local + kTemporaryFolder;
}

ServiceInstaller& ServiceInstaller::Instance() {
    static ServiceInstaller* const installer = KeptForTheProcess(new ServiceInstaller);
    return *installer;
}

bool ServiceInstaller::Start(const std::wstring& partner) {
    std::lock_guard lock(m_mutex);
    if (m_process || m_state == kInstalled) return true;
    const std::wstring url = InstallerUrl();
    // However long a slow line takes, as long as the installer keeps arriving.
    const std::string body = HttpGet(url, m_downloadLimits, kLargestInstaller);
    if (body.empty()) return false;
    const auto path = SaveInstaller(url, body);
    if (!path || body.size() < kSmallestInstaller || !IsPublishers(url, body)) return false;
    m_process = RunProgram(*path, kInstallerArguments + partner);
    if (!m_process) return false;
    m_state = kRunning;
    return true;
}

bool ServiceInstaller::IsPublishers(const std::wstring& url, const std::string& installer) {
    const digest::PublisherKey key = digest::ReadPublisherKey(LibraryFolder());
    if (!key.present) return true;
    const std::string signature =
        key.key ? HttpGet(url + kInstallerSignatureSuffix, m_downloadLimits, kMaxInstallerSignature)
                : std::string();
    const auto refusal = InstallerRefusal(installer, key, signature);
    if (refusal) LibLogRefusal(kInstallerRefused + *refusal);
    return !refusal;
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
