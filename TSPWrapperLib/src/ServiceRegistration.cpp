#include "ServiceRegistration.h"

#include "fs/Files.h"
#include "fs/Paths.h"
#include "registry/Registry.h"

namespace vesk::tsp {

ServiceRegistration ReadServiceRegistration() {
    ServiceRegistration registration;
    const auto key = registry::OpenKey(kServiceRegistryKey);
    if (!key) return registration;
    registration.version = key->String(kVersionValue).value_or(L"");
    const auto folder = key->String(kFolderValue);
    if (!folder) return registration;
    registration.folder = *folder;
    // An empty folder would name "TSP.exe" in whatever the current folder is.
    registration.present =
        !folder->empty() && fs::GetAttributes(ServiceProgramIn(*folder)).has_value();
    return registration;
}

std::wstring ServiceProgramIn(const std::wstring& folder) {
    return fs::WithTrailingSlash(folder) + kServiceProgram;
}

}  // namespace vesk::tsp
