#pragma once
// Whether a downloaded package is the one the manifest describes: by its SHA-256 digest when a
// signed manifest gave one, else by its MD5 digest.

#include <string>

#include "UpdatePackage.h"

// With a sha256: true only when the file's digest equals it. Otherwise true when the manifest
// gives no md5 for the package (nothing but blanks), or the file's md5 equals it, hexadecimal
// digits compared without regard to case. False when a digest is given and the file cannot
// be read.
bool PackageMatchesChecksum(const UpdatePackage& package, const std::wstring& localPath);

// The digest PackageMatchesChecksum compares, for the log: "sha256" or "md5".
std::wstring PackageChecksumName(const UpdatePackage& package);
