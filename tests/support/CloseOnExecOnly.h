#pragma once
// Runs an operation in a forked child whose kernel refuses (EACCES) every open and every
// socket that is not asked for close-on-exec, so a test sees an operation fail where a file
// or a connection it makes would leak into programs started meanwhile. The child never
// waits: it ends when the operation returns.

#include <errno.h>
#include <stddef.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

#include "SyscallFilter.h"

namespace vesk::test {

enum class CloseOnExecOnlyRun {
    Succeeded,
    Failed,       // the operation returned false, or the child did not end normally
    Unavailable,  // the system would not install the filter
};

namespace close_on_exec_only {

// Low half of a call argument; the flags and socket types live there.
constexpr std::uint32_t ArgOffset(int index) {
    return static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * index);
}

inline bool InstallFilter() {
    if constexpr (!kSyscallFiltersHere) return false;
    constexpr std::uint32_t kFlag = 02000000;  // O_CLOEXEC, and SOCK_CLOEXEC alike
    constexpr std::uint32_t kRefuse = SECCOMP_RET_ERRNO | EACCES;
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kFilterArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        // openat: flags are argument 2.
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 4),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgOffset(2)),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kFlag, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, kRefuse),
    // socket: the type is argument 1; so are the flags of open where it exists.
#ifdef __NR_open
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_open, 1, 0),
#else
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 1, 0),
#endif
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 4),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgOffset(1)),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kFlag, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, kRefuse),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    return InstallSyscallFilter(program, sizeof program / sizeof program[0]);
}

}  // namespace close_on_exec_only

inline CloseOnExecOnlyRun RunWithCloseOnExecOnly(const std::function<bool()>& operation) {
    constexpr int kUnavailable = 3;
    const pid_t pid = fork();
    if (pid < 0) return CloseOnExecOnlyRun::Unavailable;
    if (pid == 0) {
        if (!close_on_exec_only::InstallFilter()) _exit(kUnavailable);
        _exit(operation() ? 0 : 1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) return CloseOnExecOnlyRun::Failed;
    switch (WEXITSTATUS(status)) {
        case 0:
            return CloseOnExecOnlyRun::Succeeded;
        case kUnavailable:
            return CloseOnExecOnlyRun::Unavailable;
        default:
            return CloseOnExecOnlyRun::Failed;
    }
}

}  // namespace vesk::test
