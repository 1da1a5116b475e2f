// The install: the library let go, the browsers' plug-ins released, each downloaded package
// unpacked, as it was checked, over the program folder with the user's game catalogue carried
// over, and deleted.

#include "BrowserPlugins.h"
#include "GameCatalogue.h"
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
    const std::vector<SavedCatalogue> catalogues = ReadGameCatalogues(state.programFolder);
    const PackageExtractionResult result =
        ExtractHeldPackage(held->second->Descriptor(), state.programFolder);
    state.checkedPackages.erase(held);
    vesk::fs::DeleteFile(package);
    MergeGameCatalogues(catalogues);
    return CheckExtraction(package, result);
}

}  // namespace

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
    // What an install that was killed half-way left under passing names goes first.
    vesk::fs::ReplacementFile::RemoveAbandoned(state->programFolder);
    for (const std::wstring& package : TheUpdateSettings().downloadedPackages) {
        if (package.empty()) break;
        // Later packages build on this one: stop, and let the next run repair it.
        if (!InstallPackage(*state, package)) {
            window.Post(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
            return;
        }
    }
    window.Post(WM_UPDATE_SUCCEEDED);
}
