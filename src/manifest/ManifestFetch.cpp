#include "ManifestFetch.h"

#include <thread>

#include "INetDownLoad.h"
#include "fs/Files.h"

void StartManifestFetchThread(const ManifestFetch& fetch, int attempt) {
    try {
        std::thread([fetch, attempt] { ManifestFetchThread(fetch, attempt); }).detach();
    } catch (...) {
        // No thread for this attempt: the fetch has failed, and the window must hear of it.
        fetch.sink->PostUpdateMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
    }
}

void ManifestFetchThread(const ManifestFetch& fetch, int attempt) {
    if (vesk::fs::GetAttributes(fetch.localPath)) vesk::fs::DeleteFile(fetch.localPath);
    CINetDownLoad downloader;
    int result = kDownLoadNetworkError;
    if (downloader.Init()) result = downloader.DownLoad(fetch.url, fetch.localPath, nullptr);
    downloader.Uninit();

    if (result == kDownLoadOk) {
        fetch.sink->PostUpdateMessage(WM_UPDATE_RUN_WORKER, 0, 0);
    } else if (attempt >= kManifestAttempts) {
        fetch.sink->PostUpdateMessage(WM_UPDATE_DOWNLOAD_FAILED, 0, 1);
    } else {
        StartManifestFetchThread(fetch, attempt + 1);
    }
}
