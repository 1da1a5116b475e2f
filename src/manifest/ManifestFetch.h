#pragma once
// Fetches the version manifest on background threads: each attempt deletes the local copy,
// downloads it, and on failure starts the next attempt at once, four attempts in all. The
// outcome is posted to the sink: WM_UPDATE_RUN_WORKER (0, 0) or, after the last failure,
// WM_UPDATE_DOWNLOAD_FAILED (0, 1). With a signature wanted, the manifest's signature
// (url + ".sig", into localPath + ".sig") follows it with as many attempts; a signature that
// does not come is left for the manifest's check to refuse. A manifest larger than the parser
// takes (kMaxManifestBytes) is a failed attempt, and so is a signature beyond
// kMaxSignatureBytes: neither download goes on past its limit. The threads are never joined.

#include <memory>
#include <string>

#include "UpdateMessages.h"

struct ManifestFetch {
    std::wstring url;
    std::wstring localPath;
    // Kept alive by every attempt, so the window may go while a fetch still runs.
    std::shared_ptr<IUpdateMessageSink> sink;
    bool withSignature = false;
};

inline constexpr int kManifestAttempts = 4;

// Starts attempt number `attempt` on a new thread.
void StartManifestFetchThread(const ManifestFetch& fetch, int attempt = 1);

// One attempt, on the calling thread.
void ManifestFetchThread(const ManifestFetch& fetch, int attempt);
