#pragma once
// Whether a downloaded package is the one the manifest describes, by its MD5 digest.

#include <string>

#include "UpdatePackage.h"

// True when the manifest gives no digest for the package (nothing but blanks), or the
// file's digest equals it, hexadecimal digits compared without regard to case. False when
// a digest is given and the file cannot be read.
bool PackageMatchesChecksum(const UpdatePackage& package, const std::wstring& localPath);
