#pragma once
// The common ground of the tests' kernel system-call filters: the architecture a filter
// checks first, and installing a filter on the calling thread (and whatever it starts).

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>

#include <cstddef>
#include <cstdint>

namespace vesk::test {

#if defined(__x86_64__)
inline constexpr bool kSyscallFiltersHere = true;
inline constexpr std::uint32_t kFilterArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr bool kSyscallFiltersHere = true;
inline constexpr std::uint32_t kFilterArch = AUDIT_ARCH_AARCH64;
#else
inline constexpr bool kSyscallFiltersHere = false;
inline constexpr std::uint32_t kFilterArch = 0;
#endif

// False when the system would not take the filter.
inline bool InstallSyscallFilter(sock_filter* program, std::size_t length) {
    const sock_fprog filter{static_cast<unsigned short>(length), program};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

}  // namespace vesk::test
