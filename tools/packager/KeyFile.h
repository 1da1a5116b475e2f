#pragma once
// The publisher's signing key as the packager keeps it: the private key file holds the key's
// seed as 64 hexadecimal digits and a line end, readable by its owner only; beside it,
// FILE.pub holds the public key an installation carries.

#include <ostream>
#include <string>

#include "digest/Ed25519.h"

namespace vesk::packager {

inline constexpr char kPublicKeySuffix[] = ".pub";

// Writes a fresh key to path and path + ".pub"; refuses (exit 2) when path exists. Says on
// out what it wrote and on err why it stopped; returns the exit code.
int GenerateKeyFiles(const std::string& path, std::ostream& out, std::ostream& err);

// Empty on success; otherwise why path does not hold a private key.
std::string ReadSigningKey(const std::string& path, digest::Ed25519PrivateKey& key);

}  // namespace vesk::packager
