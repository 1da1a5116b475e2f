#pragma once
// Signed manifests, for installations that carry their publisher's key: program folder +
// "update_key.pub", the Ed25519 public key as 64 hexadecimal digits. Such an installation
// accepts a manifest only when the signature fetched beside it (manifest + ".sig", 128 digits)
// is the key's over the manifest's exact bytes, every package names its "sha256", and "root"
// names an "expires" time ("YYYY-MM-DDTHH:MM:SSZ", UTC) not yet past. A key file that holds no
// valid key refuses every manifest; so does anything else at its place, a dangling link or a
// path the system cannot answer for. An installation without the file is not concerned.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "UpdatePackage.h"
#include "digest/Ed25519.h"

inline constexpr wchar_t kUpdateKeyFile[] = L"update_key.pub";
inline constexpr wchar_t kSignatureSuffix[] = L".sig";
// Far more than 128 digits and a line end: anything larger is no signature or key, and a
// download stops there.
inline constexpr std::size_t kMaxSignatureBytes = 1024;

struct UpdateKey {
    bool present = false;                               // the installation carries a key file
    std::optional<vesk::digest::Ed25519PublicKey> key;  // what it holds, when valid
};

UpdateKey ReadUpdateKey(const std::wstring& programFolder);

// Seconds since 1970-01-01 UTC of "YYYY-MM-DDTHH:MM:SSZ"; nullopt for any other text.
std::optional<std::int64_t> ParseExpiry(const std::string& text);

// Reads, checks and parses the manifest at path against key, at nowUtc (seconds since 1970,
// UTC). False with the reason for the log in refusal when any check fails.
bool ParseSignedManifest(const std::wstring& path, const UpdateKey& key, std::int64_t nowUtc,
                         UpdatePackageList& packages, std::wstring& refusal);
