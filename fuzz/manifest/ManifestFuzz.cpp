// Any bytes as a version manifest: false, or a list that ends with the latest package.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "VersionManifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UpdatePackageList packages;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (ParseManifestText(bytes, packages)) {
        if (packages.size() < 2) std::abort();
        (void)SelectPackages(L"1.0", packages);
    }
    return 0;
}
