// vesk_packager: update packages and the version manifest from releases of an installation.

#include <chrono>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "KeyFile.h"
#include "Packager.h"
#include "SignatureFile.h"

namespace {

using vesk::packager::ChainRequest;

constexpr char kUsage[] =
    "usage:\n"
    "  vesk_packager package --from OLD_DIR --to NEW_DIR --id ID --out OUT_DIR --base-url URL\n"
    "                        [--manifest FILE] [--build BUILD_VERSION]\n"
    "                        [--sign KEYFILE [--expires-in DAYS] [--adopt-manifest]]\n"
    "                        [--tracker URL ...]\n"
    "  vesk_packager chain --releases DIR1 DIR2 ... --ids ID1 ID2 ... --out OUT_DIR\n"
    "                      --base-url URL [--manifest FILE]\n"
    "                      [--sign KEYFILE [--expires-in DAYS] [--adopt-manifest]]\n"
    "                      [--tracker URL ...]\n"
    "  vesk_packager keygen --out FILE\n"
    "  vesk_packager sign --key KEYFILE FILE\n"
    "Writes patch-<ID>.zip for each release after the first, full-<ID>.zip of the last one,\n"
    "and writes or extends the manifest (default OUT_DIR/veskversion.xml). An ID has at most\n"
    "15 characters.\n"
    "With --sign, every package in the manifest gets its SHA-256 digest, the manifest expires\n"
    "after DAYS days (default 30), and its signature is written as MANIFEST.sig. A manifest\n"
    "already there is extended only when MANIFEST.sig is the key's signature of it; with\n"
    "--adopt-manifest it is signed as it stands, every package's digest taken from its file.\n"
    "With --tracker (an announce URL, one or more), every package gets PACKAGE.torrent beside\n"
    "it, for players to share it, and OUT_DIR/tracker-whitelist.txt lists the info-hash of\n"
    "every package the manifest lists, for the tracker's whitelist.\n"
    "sign writes FILE.sig, the key's signature of FILE (the service's installer, say).\n"
    "keygen writes a new signing key to FILE (keep it private; an existing FILE is never\n"
    "overwritten) and its public key to FILE.pub: that is the file an installation carries\n"
    "as \"update_key.pub\" in its program folder.\n"
    "Exit codes: 0 written, 1 an output could not be written, 2 refused or bad arguments.\n";

using Options = std::map<std::string, std::vector<std::string>>;

// Every option takes the values up to the next "--" word. False on a stray word.
bool ReadOptions(int argc, char** argv, Options& options) {
    std::vector<std::string>* values = nullptr;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.rfind("--", 0) == 0) {
            if (options.count(word)) return false;
            values = &options[word];
        } else if (!values) {
            return false;
        } else {
            values->push_back(word);
        }
    }
    return true;
}

// Takes the option's single value out of options; false when it is missing or repeated.
bool Single(Options& options, const std::string& name, std::string& out, bool required) {
    const auto at = options.find(name);
    if (at == options.end()) return !required;
    if (at->second.size() != 1) return false;
    out = at->second.front();
    options.erase(at);
    return true;
}

bool Many(Options& options, const std::string& name, std::vector<std::string>& out) {
    const auto at = options.find(name);
    if (at == options.end() || at->second.empty()) return false;
    out = at->second;
    options.erase(at);
    return true;
}

// A whole number of days from 1 to kMaxDays.
bool ReadDays(const std::string& text, int& days) {
    constexpr int kMaxDays = 36500;
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxDays) return false;
    days = value;
    return true;
}

// A switch takes no value; false when it is given one.
bool Switch(Options& options, const std::string& name, bool& on) {
    const auto at = options.find(name);
    if (at == options.end()) return true;
    on = at->second.empty();
    options.erase(at);
    return on;
}

bool ReadSigning(Options& options, ChainRequest& request) {
    std::string days;
    const bool sign = options.count("--sign") > 0;
    if (!Single(options, "--sign", request.signingKeyPath, false) ||
        !Single(options, "--expires-in", days, false) || (sign && request.signingKeyPath.empty()) ||
        !Switch(options, "--adopt-manifest", request.adoptManifest) ||
        (request.adoptManifest && !sign)) {
        return false;
    }
    if (days.empty()) return true;
    return !request.signingKeyPath.empty() && ReadDays(days, request.expiresInDays);
}

// Announce URLs, when given, are one or more.
bool ReadTrackers(Options& options, ChainRequest& request) {
    return !options.count("--tracker") || Many(options, "--tracker", request.trackers);
}

bool ReadRequest(int argc, char** argv, ChainRequest& request) {
    if (argc < 2) return false;
    const std::string command = argv[1];
    Options options;
    if (!ReadOptions(argc, argv, options)) return false;
    bool ok = Single(options, "--out", request.outFolder, true) &&
              Single(options, "--base-url", request.baseUrl, true) &&
              Single(options, "--manifest", request.manifestPath, false) &&
              ReadSigning(options, request) && ReadTrackers(options, request);
    if (command == "package") {
        std::string from, to, id;
        ok = ok && Single(options, "--from", from, true) && Single(options, "--to", to, true) &&
             Single(options, "--id", id, true) &&
             Single(options, "--build", request.buildVersion, false);
        request.releases = {from, to};
        request.ids = {"", id};
    } else if (command == "chain") {
        ok = ok && Many(options, "--releases", request.releases) &&
             Many(options, "--ids", request.ids);
    } else {
        return false;
    }
    return ok && options.empty() && request.releases.size() >= 2 &&
           request.ids.size() == request.releases.size();
}

// The file name keygen is asked for; false when the command is not keygen or is malformed.
bool ReadKeygen(int argc, char** argv, std::string& path) {
    if (argc < 2 || std::string(argv[1]) != "keygen") return false;
    Options options;
    return ReadOptions(argc, argv, options) && Single(options, "--out", path, true) &&
           options.empty() && !path.empty();
}

// The sign command's key and file: "sign --key KEYFILE FILE"; false when malformed.
bool ReadSign(int argc, char** argv, std::string& keyPath, std::string& path) {
    if (argc < 3) return false;
    path = argv[argc - 1];
    Options options;
    return !path.empty() && path.rfind("--", 0) != 0 && ReadOptions(argc - 1, argv, options) &&
           Single(options, "--key", keyPath, true) && options.empty() && !keyPath.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "keygen") {
        std::string path;
        if (!ReadKeygen(argc, argv, path)) {
            std::cerr << kUsage;
            return vesk::packager::kExitRefused;
        }
        return vesk::packager::GenerateKeyFiles(path, std::cout, std::cerr);
    }
    if (argc >= 2 && std::string(argv[1]) == "sign") {
        std::string keyPath, path;
        if (!ReadSign(argc, argv, keyPath, path)) {
            std::cerr << kUsage;
            return vesk::packager::kExitRefused;
        }
        return vesk::packager::SignFile(keyPath, path, std::cout, std::cerr);
    }
    ChainRequest request;
    request.now = std::chrono::duration_cast<std::chrono::seconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
    if (!ReadRequest(argc, argv, request)) {
        std::cerr << kUsage;
        return vesk::packager::kExitRefused;
    }
    return vesk::packager::BuildChain(request, std::cout, std::cerr);
}
