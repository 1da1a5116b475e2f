#pragma once
// The built transfer library, loaded once per test process with dlopen, and its exports
// looked up by name with the types of the exported header.

#include <dlfcn.h>

#include "TSPWrapperLib.h"

namespace vesk::test {

inline void* ServiceLibraryHandle() {
    static void* const handle = dlopen(TSP_WRAPPER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

template <class Function>
Function ServiceExport(const char* name) {
    void* handle = ServiceLibraryHandle();
    return handle ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
}

}  // namespace vesk::test

// The export of that name, typed as the header declares it.
#define TSP(name) ::vesk::test::ServiceExport<decltype(&name)>(#name)
