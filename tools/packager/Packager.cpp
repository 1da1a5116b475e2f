#include "Packager.h"

#include <sys/stat.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>

#include "KeyFile.h"
#include "ManifestFile.h"
#include "PackageName.h"
#include "PackagePlan.h"
#include "ReleaseTree.h"
#include "SignatureFile.h"
#include "StagedFile.h"
#include "TorrentFile.h"
#include "TrackerWhitelist.h"
#include "VersionManifest.h"
#include "VersionSettings.h"
#include "ZipWriter.h"
#include "digest/Ed25519.h"
#include "digest/FileDigest.h"
#include "fs/Paths.h"
#include "text/Utf.h"

namespace vesk::packager {
namespace {

constexpr char kManifestName[] = "veskversion.xml";
constexpr char kUpdatePrefix[] = "patch-";
constexpr char kFullPrefix[] = "full-";
constexpr char kPackageSuffix[] = ".zip";
// An installation reads the manifest in its locale's character set, where each byte may be a
// character: an id of no more bytes than it records characters always reads back whole.
constexpr std::size_t kMaxIdBytes = kMaxVersionIdChars;

struct Problem {
    int exitCode = kExitWritten;
    std::string message;
};

struct Output {
    StagedFile file;
    std::uint64_t size = 0;
    std::string md5;
    std::string sha256;
};

Problem Refused(std::string message) {
    return {kExitRefused, std::move(message)};
}

Problem Failed(std::string message) {
    return {kExitFailed, std::move(message)};
}

bool IsSafeName(const std::string& name) {
    const std::optional<std::wstring> wide = text::Utf8ToWideStrict(name);
    return wide && IsSafePackageName(*wide);
}

int Compare(const std::string& a, const std::string& b) {
    return CompareVersions(text::Utf8ToWide(a), text::Utf8ToWide(b));
}

Problem CheckIds(const std::vector<std::string>& ids) {
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& id = ids[i];
        if (i == 0 && id.empty()) continue;
        if (!IsSafeName(id) || !IsSafeName(kUpdatePrefix + id + kPackageSuffix))
            return Refused("\"" + id + "\" cannot be a package id");
        // Read back cut short, it would never match the manifest again.
        if (id.size() > kMaxIdBytes) {
            return Refused("package id \"" + id + "\" is longer than " +
                           std::to_string(kMaxIdBytes) +
                           " characters (bytes beyond ASCII), all an installation records");
        }
        // The updater orders packages by their ids' text alone.
        if (i > 0 && !ids[i - 1].empty() && Compare(ids[i - 1], id) >= 0) {
            return Refused("package ids must sort in release order: \"" + ids[i - 1] +
                           "\" does not sort before \"" + id + "\"");
        }
    }
    return {};
}

// UTC as "YYYY-MM-DDTHH:MM:SSZ"; empty when the time cannot be shown so.
std::string UtcText(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32] = {};
    if (!::gmtime_r(&time, &parts) ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) != 20) {
        return {};
    }
    return text;
}

std::string WithSlash(const std::string& text) {
    return text.empty() || text.back() == '/' ? text : text + "/";
}

Problem Measure(Output& output) {
    struct stat info {};
    if (::stat(output.file.path().c_str(), &info) != 0)
        return Failed("cannot read back \"" + output.file.path() + "\"");
    output.size = static_cast<std::uint64_t>(info.st_size);
    const auto md5 = digest::FileMd5Hex(fs::WidePath(output.file.path()));
    if (!md5) return Failed("cannot read back \"" + output.file.path() + "\"");
    output.md5 = *md5;
    const auto sha256 = digest::FileSha256Hex(fs::WidePath(output.file.path()));
    if (!sha256) return Failed("cannot read back \"" + output.file.path() + "\"");
    output.sha256 = *sha256;
    return {};
}

class ChainBuilder {
public:
    explicit ChainBuilder(const ChainRequest& request) : m_request(request) {}

    Problem Run(std::ostream& out, std::ostream& err) {
        if (Problem p = Check(); p.exitCode != kExitWritten) return p;
        std::error_code error;
        std::filesystem::create_directories(m_request.outFolder, error);
        if (error) return Failed("cannot create \"" + m_request.outFolder + "\"");
        for (std::size_t i = 1; i < m_trees.size(); ++i) {
            if (Problem p = StagePackage(m_plans[i - 1], kUpdatePrefix, i, false);
                p.exitCode != kExitWritten) {
                return p;
            }
        }
        const PackagePlan full = PlanFullPackage(m_trees.back());
        if (Problem p = StagePackage(full, kFullPrefix, m_trees.size() - 1, true);
            p.exitCode != kExitWritten) {
            return p;
        }
        if (Problem p = StageWhitelist(err); p.exitCode != kExitWritten) return p;
        if (Problem p = StageManifest(); p.exitCode != kExitWritten) return p;
        if (Problem p = Commit(out); p.exitCode != kExitWritten) return p;
        WarnOfStaleSignature(err);
        return {};
    }

private:
    // Everything that can be refused is, before the first byte is written.
    Problem Check() {
        if (Problem p = CheckIds(m_request.ids); p.exitCode != kExitWritten) return p;
        m_trees.resize(m_request.releases.size());
        for (std::size_t i = 0; i < m_trees.size(); ++i) {
            if (std::string p = ScanRelease(m_request.releases[i], m_trees[i]); !p.empty())
                return Refused(p);
        }
        m_plans.resize(m_trees.size() - 1);
        for (std::size_t i = 1; i < m_trees.size(); ++i) {
            if (std::string p = PlanUpdatePackage(m_trees[i - 1], m_trees[i], m_plans[i - 1]);
                !p.empty()) {
                return Refused(p);
            }
        }
        m_manifestPath = m_request.manifestPath.empty()
                             ? WithSlash(m_request.outFolder) + kManifestName
                             : m_request.manifestPath;
        if (std::string p = m_manifest.Load(m_manifestPath); !p.empty()) return Refused(p);
        if (std::string p = m_manifest.CheckNextId(m_request.ids[1]); !p.empty()) return Refused(p);
        return CheckSigning();
    }

    Problem CheckSigning() {
        if (!Signing()) return {};
        if (std::string p = ReadSigningKey(m_request.signingKeyPath, m_key); !p.empty())
            return Refused(p);
        if (Problem p = CheckManifestSignature(); p.exitCode != kExitWritten) return p;
        m_expires = UtcText(m_request.now + std::int64_t{m_request.expiresInDays} * 86400);
        if (m_expires.empty()) return Refused("the expiry lies beyond what can be written");
        return {};
    }

    bool Signing() const { return !m_request.signingKeyPath.empty(); }

    // Signing what another hand put in the folder would vouch for it, so the manifest to be
    // extended must carry the key's own signature, unless the publisher adopts it.
    Problem CheckManifestSignature() {
        if (!m_manifest.Found()) return {};
        if (m_request.adoptManifest) {
            m_manifest.ForgetSha256();
            return {};
        }
        const std::string problem =
            CheckSignatureFile(m_key, m_manifest.LoadedBytes(), m_manifestPath + kSignatureSuffix);
        if (problem.empty()) return {};
        return Refused(problem + "; the manifest \"" + m_manifestPath +
                       "\" is extended and signed only when its own signature is this key's " +
                       "(or, once checked, with --adopt-manifest)");
    }

    // Packages listed by earlier runs get their digest from the file they left behind.
    Problem AddMissingDigests() {
        for (const std::string& name : m_manifest.NamesWithoutSha256()) {
            const std::string path = WithSlash(m_request.outFolder) + name;
            const auto sha256 =
                IsSafeName(name) ? digest::FileSha256Hex(fs::WidePath(path)) : std::nullopt;
            if (!sha256) {
                return Refused("the manifest lists \"" + name + "\" without a SHA-256 digest, " +
                               "and \"" + path + "\" cannot be read to compute it");
            }
            m_manifest.SetSha256(name, *sha256);
        }
        return {};
    }

    Problem StagePackage(const PackagePlan& plan, const char* prefix, std::size_t release,
                         bool latest) {
        const std::string& id = m_request.ids[release];
        const std::string name = prefix + id + kPackageSuffix;
        Output output;
        if (!output.file.Create(WithSlash(m_request.outFolder) + name))
            return Failed("cannot write in \"" + m_request.outFolder + "\"");
        if (std::string p = WriteZip(plan, output.file.path()); !p.empty()) return Failed(p);
        if (Problem p = Measure(output); p.exitCode != kExitWritten) return p;
        // The manifest records sizes as signed 32-bit numbers.
        if (output.size > INT32_MAX) return Refused(name + " is too large for the manifest");
        PackageRecord record{id,
                             WithSlash(m_request.baseUrl) + name,
                             name,
                             output.md5,
                             m_request.buildVersion.empty() ? id : m_request.buildVersion,
                             static_cast<std::int64_t>(output.size),
                             plan.files,
                             Signing() ? output.sha256 : std::string()};
        if (latest) {
            m_manifest.SetLatestPackage(record);
        } else {
            m_manifest.AddUpdatePackage(record);
        }
        const std::string packagePath = output.file.path();
        m_outputs.push_back(std::move(output));
        return StageTorrent(packagePath, record);
    }

    Problem StageTorrent(const std::string& packagePath, const PackageRecord& record) {
        if (m_request.trackers.empty()) return {};
        std::string problem;
        const auto torrent =
            MakeTorrent({packagePath, record.name, static_cast<std::uint64_t>(record.size),
                         m_request.trackers, record.url, m_request.now},
                        problem);
        if (!torrent) return Failed(problem);
        m_infoHashes[record.name] = torrent->infoHash;
        return StageText(WithSlash(m_request.outFolder) + record.name + kTorrentSuffix,
                         torrent->bytes);
    }

    // Every package the manifest lists, of this run or an earlier one, stays trackable.
    Problem StageWhitelist(std::ostream& err) {
        if (m_request.trackers.empty()) return {};
        std::vector<std::string> hashes;
        for (const std::string& name : m_manifest.Names()) {
            if (const auto made = m_infoHashes.find(name); made != m_infoHashes.end()) {
                hashes.push_back(made->second);
                continue;
            }
            const std::string path = WithSlash(m_request.outFolder) + name + kTorrentSuffix;
            const auto hash = IsSafeName(name) ? InfoHashOfFile(path) : std::nullopt;
            if (hash) {
                hashes.push_back(*hash);
            } else {
                err << "vesk_packager: no torrent \"" << path << "\"; players fetch " << name
                    << " from the server alone\n";
            }
        }
        return StageText(WithSlash(m_request.outFolder) + kWhitelistName, WhitelistText(hashes));
    }

    Problem StageManifest() {
        if (Signing()) {
            if (Problem p = AddMissingDigests(); p.exitCode != kExitWritten) return p;
            m_manifest.SetExpires(m_expires);
        }
        const std::string text = m_manifest.Text();
        if (Problem p = StageText(m_manifestPath, text); p.exitCode != kExitWritten) return p;
        if (!Signing()) return {};
        // Over the very bytes just written, which are what a client will fetch.
        const auto signature = SignatureText(m_key, text);
        if (!signature) return Failed("cannot sign \"" + m_manifestPath + "\"");
        return StageText(m_manifestPath + kSignatureSuffix, *signature);
    }

    Problem StageText(const std::string& target, const std::string& text) {
        Output output;
        if (!output.file.Create(target) || !output.file.Write(text))
            return Failed("cannot write \"" + target + "\"");
        if (Problem p = Measure(output); p.exitCode != kExitWritten) return p;
        m_outputs.push_back(std::move(output));
        return {};
    }

    // The manifest comes after the packages, so it never names a package that is not there
    // yet; its signature comes last.
    Problem Commit(std::ostream& out) {
        for (Output& output : m_outputs) {
            const std::string target = output.file.target();
            if (!output.file.Commit()) return Failed("cannot write \"" + target + "\"");
            out << "wrote " << target << " " << output.size << " " << output.md5 << "\n";
        }
        return {};
    }

    // A signature left from a signed run no longer matches, and installations with a key
    // will refuse the manifest until it is signed again.
    void WarnOfStaleSignature(std::ostream& err) const {
        const std::string signature = m_manifestPath + kSignatureSuffix;
        struct stat info {};
        if (Signing() || ::stat(signature.c_str(), &info) != 0) return;
        err << "vesk_packager: \"" << signature
            << "\" no longer matches the manifest; once you have checked the manifest, renew it "
               "with --sign KEYFILE --adopt-manifest\n";
    }

    const ChainRequest& m_request;
    std::vector<ReleaseTree> m_trees;
    std::vector<PackagePlan> m_plans;
    ManifestFile m_manifest;
    std::string m_manifestPath;
    std::vector<Output> m_outputs;
    std::map<std::string, std::string> m_infoHashes;  // by package name, of this run
    digest::Ed25519PrivateKey m_key;
    std::string m_expires;
};

}  // namespace

int BuildChain(const ChainRequest& request, std::ostream& out, std::ostream& err) {
    if (request.releases.size() < 2 || request.ids.size() != request.releases.size()) {
        err << "vesk_packager: give one id per release, and at least two releases\n";
        return kExitRefused;
    }
    const Problem problem = ChainBuilder(request).Run(out, err);
    if (problem.exitCode != kExitWritten) err << "vesk_packager: " << problem.message << "\n";
    return problem.exitCode;
}

}  // namespace vesk::packager
