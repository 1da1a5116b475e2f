#include "ServiceLifecycle.h"

#include "CallService.h"
#include "LibClock.h"
#include "LibLog.h"
#include "LibState.h"
#include "RunProgram.h"
#include "ServiceInstaller.h"
#include "ServiceMethods.h"
#include "ServiceOwner.h"
#include "ServiceRegistration.h"
#include "ServiceRequests.h"
#include "ServiceVersion.h"
#include "TSPWrapperLib.h"

namespace vesk::tsp {
namespace {

// The "version" method as a sign of life: any body at all counts.
bool ServiceAnswers() {
    return !CallService(method::kVersion, {}).empty();
}

// The registered service, launched unless it is older than the minimum: code 0, 5, 7 or 8.
int LaunchRegistered(const ServiceRegistration& registration) {
    if (!registration.present) return kServiceNotInstalled;
    if (IsServiceTooOld(registration.version, MinimumRequiredVersion())) return kServiceTooOld;
    return LaunchService(registration.folder) ? kServiceOk : kServiceLaunchFailed;
}

StartResult Finished(int code) {
    return {code == kServiceOk, code};
}

StartResult StartServiceLogged(const std::wstring& partner) {
    // Another user's program on the port could not be replaced by ours: no service can start.
    if (ForeignServiceListener()) return Finished(kServiceLaunchFailed);
    // Read once: a registration that vanished since would otherwise give a code this call
    // never reports.
    const ServiceRegistration registration = ReadServiceRegistration();
    if (registration.present) {
        if (const int code = LaunchRegistered(registration); code != kServiceOk)
            return Finished(code);
    } else if (!InstallService(partner)) {
        return Finished(kServiceInstallFailed);
    }
    return Finished(WaitForLogin() == kServiceLoggedIn ? kServiceOk : kServiceLoginTimedOut);
}

}  // namespace

bool IsLoggedIn() {
    const auto reply = RequestLoginStatus();
    return reply.record && reply.record->loginStatus == kLoggedIn;
}

int WaitForLogin() {
    if (IsLoggedIn()) return kServiceLoggedIn;
    for (auto waited = kPollPeriod * 0; waited < kStartUpLimit; waited += kPollPeriod) {
        if (IsLoggedIn()) return kServiceLoggedIn;
        LibSleep(kPollPeriod);
    }
    return kServiceLoginTimedOut;
}

bool InstallService(const std::wstring& partner) {
    ServiceInstaller& installer = ServiceInstaller::Instance();
    if (installer.Status() == ServiceInstaller::kIdle) installer.Start(partner);
    ServiceInstaller::State state = installer.Status();
    for (auto waited = kPollPeriod * 0; state == ServiceInstaller::kRunning;) {
        LibSleep(kPollPeriod);
        waited += kPollPeriod;
        if (waited >= kStartUpLimit) break;
        state = installer.Status();
    }
    return state == ServiceInstaller::kInstalled;
}

// An empty folder names no program: "TSP.exe" alone would be looked for beside the host.
bool LaunchService(const std::wstring& folder) {
    if (folder.empty()) return false;
    return RunProgram(ServiceProgramIn(folder), L"").has_value();
}

StartResult StartService(const std::wstring& partner) {
    LibLog(L"StartTSP Begin");
    const StartResult result = StartServiceLogged(partner);
    LibLog(L"StartTSP End");
    return result;
}

StartResult RestartService() {
    if (ForeignServiceListener()) return Finished(kServiceLaunchFailed);
    if (ServiceAnswers()) RequestShutdown();
    if (const int code = LaunchRegistered(ReadServiceRegistration()); code != kServiceOk)
        return Finished(code);
    LibSleep(kPollPeriod);
    return Finished(WaitForLogin() == kServiceLoggedIn ? kServiceOk : kServiceLoginTimedOut);
}

int RestartStep() {
    if (ForeignServiceListener()) return kServiceLaunchFailed;
    std::wstring folder;
    if (ServiceAnswers()) {
        RequestShutdown();
        folder = ReadServiceRegistration().folder;
    } else {
        const ServiceRegistration registration = ReadServiceRegistration();
        if (!registration.present) return kServiceNotInstalled;
        folder = registration.folder;
    }
    if (!LaunchService(folder)) return kServiceLaunchFailed;
    return WaitForLogin();
}

}  // namespace vesk::tsp
