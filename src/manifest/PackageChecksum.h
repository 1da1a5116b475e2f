#pragma once
// Whether a downloaded package is the one the manifest describes: no larger than its size, and
// by its SHA-256 digest when a signed manifest gave one, else by its MD5 digest. The check
// reads the package through a descriptor that it then holds, so what is unpacked later is
// what was checked.

#include <cstdint>
#include <memory>
#include <string>

#include "UpdatePackage.h"
#include "fs/HeldFile.h"

enum class PackageCheck {
    Matches,
    Unreadable,  // no regular file to be opened at the path
    TooLarge,    // more bytes than the manifest's size for it
    Differs,     // its digest is not the manifest's
};

struct CheckedPackage {
    PackageCheck result = PackageCheck::Unreadable;
    // The package as it was checked, held open; set only when it matches.
    std::shared_ptr<const vesk::fs::HeldFile> file;
};

// Opens the package at localPath (never through a link) and checks it through that
// descriptor: its size against PackageSizeLimit, then its digest as PackageMatchesChecksum
// compares it.
CheckedPackage CheckDownloadedPackage(const UpdatePackage& package, const std::wstring& localPath);

// The most bytes the package may have: the manifest's size, read as an unsigned 32-bit number
// as every size of the manifest is compared.
std::uint64_t PackageSizeLimit(const UpdatePackage& package);

// With a sha256: true only when the file's digest equals it. Otherwise true when the manifest
// gives no md5 for the package (nothing but blanks), or the file's md5 equals it, hexadecimal
// digits compared without regard to case. False when a digest is given and the file cannot
// be read.
bool PackageMatchesChecksum(const UpdatePackage& package, const std::wstring& localPath);

// The digest PackageMatchesChecksum compares, for the log: "sha256" or "md5".
std::wstring PackageChecksumName(const UpdatePackage& package);
