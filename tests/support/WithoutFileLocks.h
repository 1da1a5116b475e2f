#pragma once
// Runs a test body on a thread of its own on which every file lock call (flock, and fcntl's
// record and open-file-description locks) fails with ENOLCK, as on a file system that keeps
// no locks. A kernel filter does it, so the code under test, and any program started from
// that thread, meets the real error; other threads are untouched.

#include <errno.h>
#include <fcntl.h>
#include <sys/syscall.h>

#include <cstddef>
#include <iterator>
#include <thread>

#include "SyscallFilter.h"

namespace vesk::test {

namespace detail {

inline bool RefuseFileLocksOnThisThread() {
    if constexpr (!kSyscallFiltersHere) return false;
    constexpr __u32 kAllow = SECCOMP_RET_ALLOW;
    constexpr __u32 kNoLocks = SECCOMP_RET_ERRNO | (ENOLCK & SECCOMP_RET_DATA);
    // The command is an int: the low half of the argument on these little-endian machines.
    constexpr __u32 kCommand = offsetof(seccomp_data, args) + sizeof(__u64);
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kFilterArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, kAllow),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_flock, 9, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fcntl, 0, 7),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kCommand),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_GETLK, 6, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_SETLK, 5, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_SETLKW, 4, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_OFD_GETLK, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_OFD_SETLK, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_OFD_SETLKW, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, kAllow),
        BPF_STMT(BPF_RET | BPF_K, kNoLocks),
    };
    return InstallSyscallFilter(program, std::size(program));
}

}  // namespace detail

// Runs body on the lock-refusing thread and waits for it; false (and body not run) when
// the filter cannot be set here.
template <class Body>
bool RunWithoutFileLocks(Body body) {
    bool refused = false;
    std::thread thread([&] {
        refused = detail::RefuseFileLocksOnThisThread();
        if (refused) body();
    });
    thread.join();
    return refused;
}

}  // namespace vesk::test
