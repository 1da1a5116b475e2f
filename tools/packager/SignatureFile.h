#pragma once
// A publisher's signature kept beside what it signs, as FILE + ".sig": Ed25519 over the file's
// exact bytes, 128 hexadecimal digits and a line end. The same form serves the manifest and
// any other file an installation checks, such as the service's installer.

#include <optional>
#include <ostream>
#include <string>

#include "digest/Ed25519.h"

namespace vesk::packager {

inline constexpr char kSignatureSuffix[] = ".sig";

// The signature file's text for these bytes; nullopt when they cannot be signed.
std::optional<std::string> SignatureText(const digest::Ed25519PrivateKey& key,
                                         const std::string& bytes);

// Empty when signaturePath holds the key's signature over exactly these bytes; otherwise why
// not (missing, malformed, or not the key's).
std::string CheckSignatureFile(const digest::Ed25519PrivateKey& key, const std::string& bytes,
                               const std::string& signaturePath);

// The sign command: writes path + ".sig" with the key at keyPath, replacing an earlier one
// only once the new one is complete. Says on out what it wrote and on err why it stopped;
// returns the exit code.
int SignFile(const std::string& keyPath, const std::string& path, std::ostream& out,
             std::ostream& err);

}  // namespace vesk::packager
