#include "ManifestFetch.h"

#include <thread>

#include "INetDownLoad.h"
#include "ManifestSignature.h"
#include "VersionManifest.h"
#include "fs/Files.h"

void StartManifestFetchThread(const ManifestFetch& fetch, int attempt) {
    try {
        std::thread([fetch, attempt] { ManifestFetchThread(fetch, attempt); }).detach();
    } catch (...) {
        // No thread for this attempt: the fetch has failed, and the window must hear of it.
        fetch.sink->PostUpdateMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
    }
}

namespace {

// One download of at most maxBytes into a fresh local file; kDownLoadOk or the failure.
int FetchFile(const std::wstring& url, const std::wstring& localPath, std::size_t maxBytes) {
    if (vesk::fs::GetAttributes(localPath)) vesk::fs::DeleteFile(localPath);
    CINetDownLoad downloader;
    downloader.SetSizeLimit(maxBytes);
    int result = kDownLoadNetworkError;
    if (downloader.Init()) result = downloader.DownLoad(url, localPath, nullptr);
    downloader.Uninit();
    return result;
}

void FetchSignature(const ManifestFetch& fetch) {
    const std::wstring local = fetch.localPath + kSignatureSuffix;
    for (int attempt = 1; attempt <= kManifestAttempts; ++attempt) {
        if (FetchFile(fetch.url + kSignatureSuffix, local, kMaxSignatureBytes) == kDownLoadOk)
            return;
    }
    if (vesk::fs::GetAttributes(local)) vesk::fs::DeleteFile(local);
}

}  // namespace

void ManifestFetchThread(const ManifestFetch& fetch, int attempt) {
    const int result = FetchFile(fetch.url, fetch.localPath, kMaxManifestBytes);
    if (result == kDownLoadOk && fetch.withSignature) FetchSignature(fetch);

    if (result == kDownLoadOk) {
        fetch.sink->PostUpdateMessage(WM_UPDATE_RUN_WORKER, 0, 0);
    } else if (attempt >= kManifestAttempts) {
        fetch.sink->PostUpdateMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
    } else {
        StartManifestFetchThread(fetch, attempt + 1);
    }
}
