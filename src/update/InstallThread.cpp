// The install: the library let go, the browsers' plug-ins released, each downloaded package
// unpacked, as it was checked, over the program folder with the user's game catalogue carried
// over, and deleted. A cancel lets the package being unpacked finish, then stops the rest.

#include <condition_variable>
#include <mutex>

#include "BrowserPlugins.h"
#include "GameCatalogue.h"
#include "InstallStop.h"
#include "PackageExtraction.h"
#include "TransferBinding.h"
#include "UpdateLog.h"
#include "UpdateMessages.h"
#include "UpdateSettings.h"
#include "UpdateWorker.h"
#include "WorkerBoxes.h"
#include "WorkerThreads.h"
#include "ZipArchive.h"
#include "fs/Files.h"
#include "fs/ReplacementFile.h"

namespace {

constexpr wchar_t kMergeFailedLog[] = L"Package %s: game info not merged, update not recorded.";
constexpr wchar_t kCancelledLog[] = L"Install cancelled, update not recorded.";

// Whether an install is unpacking, for a cancel that must not end the program half-way.
struct InstallGate {
    std::mutex mutex;
    std::condition_variable stopped;
    bool running = false;
};

InstallGate& Gate() {
    static InstallGate gate;
    return gate;
}

// False when a cancel has begun: no package is started then.
bool EnterInstall(const UpdateState& state) {
    InstallGate& gate = Gate();
    const std::lock_guard lock(gate.mutex);
    if (state.Cancelling()) return false;
    gate.running = true;
    return true;
}

void LeaveInstall() {
    InstallGate& gate = Gate();
    {
        const std::lock_guard lock(gate.mutex);
        gate.running = false;
    }
    gate.stopped.notify_all();
}

std::wstring ZipMessage(ZipResult code) {
    wchar_t buffer[128] = {};
    FormatZipResult(code, buffer, std::size(buffer));
    return buffer;
}

// False when the package left something a later run can repair: the update is then not
// recorded. Entries the reader refuses by its own rules are only logged, since no retry can
// ever unpack them.
bool CheckExtraction(const std::wstring& package, const PackageExtractionResult& result) {
    if (!result.opened) {
        WriteUpdateLog(L"Package %s cannot be opened, update not recorded.", package);
        return false;
    }
    bool complete = true;
    for (const PackageExtractionResult::EntryFailure& failure : result.failures) {
        const bool curable = failure.curable;
        WriteUpdateLog(curable
                           ? L"Package %s: entry %s not unpacked (%s, 0x%X), update not recorded."
                           : L"Package %s: entry %s refused (%s, 0x%X).",
                       package, failure.name, ZipMessage(failure.code), failure.code);
        if (curable) complete = false;
    }
    return complete;
}

// Unpacks the package through the descriptor its check left open, never by its path again.
bool InstallPackage(UpdateState& state, const std::wstring& package) {
    const auto held = state.checkedPackages.find(package);
    if (held == state.checkedPackages.end() || !held->second) {
        WriteUpdateLog(L"Package %s was never checked, update not recorded.", package);
        return false;
    }
    const std::vector<SavedCatalogue> catalogues =
        ReadGameCatalogues(state.programFolder, state.version.installedVersion);
    const PackageExtractionResult result =
        ExtractHeldPackage(held->second->Descriptor(), state.programFolder);
    state.checkedPackages.erase(held);
    vesk::fs::DeleteFile(package);
    // A file the merge could not write is put back as the user had it; the next run repairs.
    const bool merged = MergeGameCatalogues(catalogues);
    if (!merged) WriteUpdateLog(kMergeFailedLog, package);
    return CheckExtraction(package, result) && merged;
}

enum class InstallEnd { Installed, Failed, Cancelled };

InstallEnd InstallPackages(UpdateState& state) {
    for (const std::wstring& package : TheUpdateSettings().downloadedPackages) {
        if (package.empty()) break;
        if (state.Cancelling()) return InstallEnd::Cancelled;
        // Later packages build on this one: stop, and let the next run repair it.
        if (!InstallPackage(state, package)) return InstallEnd::Failed;
    }
    // A cancel that came during the last package still wins: nothing is recorded.
    return state.Cancelling() ? InstallEnd::Cancelled : InstallEnd::Installed;
}

}  // namespace

bool WaitForInstallToStop(std::chrono::milliseconds timeout) {
    InstallGate& gate = Gate();
    std::unique_lock lock(gate.mutex);
    return gate.stopped.wait_for(lock, timeout, [&gate] { return !gate.running; });
}

bool StartInstallThread(std::shared_ptr<UpdateState> state) {
    return StartDetachedThread([state = std::move(state)] { InstallThread(state); });
}

void InstallThread(const std::shared_ptr<UpdateState>& state) {
    const auto& window = state->controls.window;
    ReleaseTransferLibrary();
    const auto ask = [&window](const std::wstring& text, const std::wstring& caption) {
        return AskYesNo(window, text, caption);
    };
    if (ReleaseBrowserPlugins(state->programFolder, ask) == PluginRelease::GiveUp) {
        window.Post(WM_UPDATE_FINISH, 0, 0);
        return;
    }
    if (!EnterInstall(*state)) {
        WriteUpdateLog(kCancelledLog);
        return;
    }
    // What an install that was killed half-way left under passing names goes first.
    vesk::fs::ReplacementFile::RemoveAbandoned(state->programFolder);
    const InstallEnd end = InstallPackages(*state);
    // The cancel owns the ending: it only waits for the install to stop.
    if (end == InstallEnd::Cancelled) WriteUpdateLog(kCancelledLog);
    if (end == InstallEnd::Failed) window.Post(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
    if (end == InstallEnd::Installed) window.Post(WM_UPDATE_SUCCEEDED);
    LeaveInstall();
}
