#pragma once
// Builds the packages of a chain of releases and records them in the version manifest:
// for each release after the first an update package from the one before it, and the full
// package of the last release as the latest package. Every check runs before anything is
// written, and every output replaces its target only once all of them are complete.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vesk::packager {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitFailed = 1;   // an output could not be written
inline constexpr int kExitRefused = 2;  // the input is something the updater would refuse

struct ChainRequest {
    std::vector<std::string> releases;  // oldest first, at least two
    std::vector<std::string> ids;       // one per release; the first may be empty (unknown)
    std::string outFolder;
    std::string baseUrl;
    std::string manifestPath;  // empty: outFolder + "veskversion.xml"
    std::string buildVersion;  // empty: each package's id
    // With a key, every package gets its SHA-256 digest, the manifest an expiry, and the
    // signature over the manifest's bytes is written beside it as MANIFEST + ".sig".
    std::string signingKeyPath;  // empty: unsigned
    // A manifest already there is signed again only when its own signature is the key's;
    // adopting it vouches for it as it stands instead, each package's digest taken anew.
    bool adoptManifest = false;
    int expiresInDays = 30;
    // With announce URLs, every package gets PACKAGE.torrent beside it, and the out folder a
    // whitelist of the info-hashes of every package the manifest lists, for the tracker.
    std::vector<std::string> trackers;
    std::int64_t now = 0;  // seconds since 1970 UTC, read once by the caller
};

// Says on out what it wrote, one line per file, and on err why it stopped.
int BuildChain(const ChainRequest& request, std::ostream& out, std::ostream& err);

}  // namespace vesk::packager
