#include "SignatureFile.h"

#include <climits>

#include "FileBytes.h"
#include "KeyFile.h"
#include "Packager.h"
#include "StagedFile.h"

namespace vesk::packager {
namespace {

// Far above the 129 bytes of a signature and its line end, as an installation reads it.
constexpr std::size_t kMaxSignatureBytes = 1024;
// Signing reads the file whole; this is also the most a manifest can record of a package.
constexpr std::size_t kMaxSignedBytes = INT32_MAX;

std::string WhyUnread(ReadStatus status, const std::string& path) {
    switch (status) {
        case ReadStatus::Missing:
            return "\"" + path + "\" does not exist";
        case ReadStatus::NotAFile:
            return "\"" + path + "\" is not a file";
        case ReadStatus::TooLarge:
            return "\"" + path + "\" is too large";
        default:
            return "cannot read \"" + path + "\"";
    }
}

}  // namespace

std::optional<std::string> SignatureText(const digest::Ed25519PrivateKey& key,
                                         const std::string& bytes) {
    const auto signature = digest::Sign(key, bytes);
    if (!signature) return std::nullopt;
    return digest::ToText(*signature) + "\n";
}

std::string CheckSignatureFile(const digest::Ed25519PrivateKey& key, const std::string& bytes,
                               const std::string& signaturePath) {
    const FileBytes file = ReadFileBytes(signaturePath, kMaxSignatureBytes);
    if (file.status != ReadStatus::Read) return WhyUnread(file.status, signaturePath);
    const auto signature = digest::ParseSignature(file.bytes);
    if (!signature) return "\"" + signaturePath + "\" does not hold a signature";
    const auto publicKey = digest::PublicKeyOf(key);
    if (!publicKey || !digest::Verify(*publicKey, bytes, *signature))
        return "\"" + signaturePath + "\" is not this key's signature of what it stands beside";
    return {};
}

int SignFile(const std::string& keyPath, const std::string& path, std::ostream& out,
             std::ostream& err) {
    digest::Ed25519PrivateKey key;
    if (std::string problem = ReadSigningKey(keyPath, key); !problem.empty()) {
        err << "vesk_packager: " << problem << "\n";
        return kExitRefused;
    }
    const FileBytes file = ReadFileBytes(path, kMaxSignedBytes);
    if (file.status != ReadStatus::Read) {
        err << "vesk_packager: " << WhyUnread(file.status, path) << "\n";
        return kExitRefused;
    }
    const auto text = SignatureText(key, file.bytes);
    if (!text) {
        err << "vesk_packager: cannot sign \"" << path << "\"\n";
        return kExitFailed;
    }
    StagedFile staged;
    if (!staged.Create(path + kSignatureSuffix) || !staged.Write(*text) || !staged.Commit()) {
        err << "vesk_packager: cannot write \"" << path << kSignatureSuffix << "\"\n";
        return kExitFailed;
    }
    out << "wrote " << path << kSignatureSuffix << "\n";
    return kExitWritten;
}

}  // namespace vesk::packager
