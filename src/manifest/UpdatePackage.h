#pragma once
// One package of the version manifest.

#include <cstdint>
#include <string>
#include <vector>

struct UpdatePackage {
    std::wstring id;  // the package's version
    std::wstring name;
    std::wstring url;
    std::string md5;  // hexadecimal; a download must match it unless empty (PackageChecksum.h)
    // Lowercase hexadecimal, kept only from a signed manifest; a download must then match it
    // instead of the md5.
    std::string sha256;
    std::wstring buildVersion;
    std::int32_t size = 0;
    std::int32_t fileCount = 0;
};

using UpdatePackageList = std::vector<UpdatePackage>;
