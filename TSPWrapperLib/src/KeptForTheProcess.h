#pragma once
// The library's state that lives until the process ends, so that a host thread still running
// at exit can use it. When the host unloads the library early, nothing points at that state
// any more; the leak checker of a sanitized build is told that it stays on purpose.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VESK_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VESK_LEAK_CHECKED 1
#endif
#ifdef VESK_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace vesk::tsp {

template <typename T>
T* KeptForTheProcess(T* object) {
#ifdef VESK_LEAK_CHECKED
    __lsan_ignore_object(object);
#endif
    return object;
}

}  // namespace vesk::tsp
