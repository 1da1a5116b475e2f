#pragma once
// The built transfer library, loaded once per test process with dlopen after the harness
// has set the process up, and its exports looked up by name with the types of the
// exported header.

#include <dlfcn.h>
#include <stdlib.h>

#include "LibraryHarness.h"
#include "TSPWrapperLib.h"

namespace vesk::test {

inline void* ServiceLibraryHandle() {
    static void* const handle = [] {
        LibraryHarness::Instance();
        void* loaded = dlopen(TSP_WRAPPER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        // The library took its clock at load; the programs it starts keep their own.
        unsetenv("VESK_CLOCK");
        return loaded;
    }();
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
