// The direct download: the remaining packages over HTTP from the package address, with one
// retry budget for all of them.

#include "INetDownLoad.h"
#include "PackageAcceptance.h"
#include "PackageChecksum.h"
#include "UpdateLog.h"
#include "UpdateMessages.h"
#include "UpdateWindowMessages.h"
#include "UpdateWorker.h"
#include "WorkerThreads.h"

namespace {

// Retries after a failed download, shared by all packages of the run.
constexpr int kRetryBudget = 4;

constexpr wchar_t kLineEnd[] = L".";

// One package into its part file, continued where an earlier attempt or run left it, no
// larger than the manifest's size; once whole it is checked and only then takes the package's
// name. A part that differs from the manifest counts as a failed download and is not left
// behind. One that matches is held for the install.
bool FetchPackage(CINetDownLoad& downloader, UpdateState& state, const UpdatePackage& package) {
    downloader.SetSizeLimit(PackageSizeLimit(package));
    const int result = downloader.DownLoadPart(state.version.packageAddress + package.name,
                                               state.PartPathOf(package), nullptr);
    if (result == kDownLoadTooLarge) LogPackageTooLarge(package, kLineEnd);
    return result == kDownLoadOk && AcceptDownloadedPart(state, package, kLineEnd);
}

// True when every package came in.
bool FetchRemainingPackages(UpdateState& state) {
    CINetDownLoad downloader;
    if (!downloader.Init()) return false;
    const int last = static_cast<int>(state.packages.size()) - 1;
    int retries = 0;
    bool failed = false;
    do {
        // A cancel lets the package on its way finish, then nothing new starts.
        if (state.Cancelling()) return false;
        const UpdatePackage& package = state.CurrentPackage();
        if (FetchPackage(downloader, state, package)) {
            failed = false;
            RegisterDownloadedPackage(state.LocalPathOf(package));
            ++state.currentIndex;
            continue;
        }
        failed = true;
        if (retries >= kRetryBudget) break;
        ++retries;
        // The latest package alone (index at the last) gets its retries too.
    } while (state.currentIndex < last || (failed && state.HasCurrentPackage()));
    downloader.Uninit();
    return !failed;
}

}  // namespace

bool StartDirectDownloadThread(std::shared_ptr<UpdateState> state) {
    return StartDetachedThread([state = std::move(state)] { DirectDownloadThread(state); });
}

void DirectDownloadThread(const std::shared_ptr<UpdateState>& state) {
    const auto& window = state->controls.window;
    window.Post(WM_UPDATE_ANIMATION_START);
    const bool ok = FetchRemainingPackages(*state);
    window.Post(WM_UPDATE_ANIMATION_STOP);
    if (state->Cancelling()) return;
    window.Post(ok ? WM_UPDATE_RUN_WORKER : WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
}
