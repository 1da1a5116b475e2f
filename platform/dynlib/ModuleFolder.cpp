#include "dynlib/ModuleFolder.h"

#include <dlfcn.h>

#include "fs/Paths.h"

namespace vesk::dynlib {

std::wstring FolderOfModuleHolding(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname) return {};
    // The name as it was loaded: a relative one would change meaning with the current folder.
    const auto full = fs::CanonicalPath(fs::WidePath(info.dli_fname));
    if (!full) return {};
    return full->substr(0, full->rfind(L'/') + 1);
}

}  // namespace vesk::dynlib
