#pragma once
// /bin/cat started through StartProgram with its standard input on a socket the test holds
// (a pipe would be replaced by /dev/null): it runs until the socket is closed, so the test
// decides when it ends, without waiting for any time to pass.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process/Launch.h"

namespace vesk::test {

class CatChild {
public:
    CatChild() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return;
        m_input = fds[1];
        // The child's standard input is ours at the moment it starts.
        const int savedInput = fcntl(0, F_DUPFD_CLOEXEC, 3);
        dup2(fds[0], 0);
        close(fds[0]);
        const auto pid = process::StartProgram(L"/bin/cat", {});
        dup2(savedInput, 0);
        close(savedInput);
        if (pid) m_pid = *pid;
    }
    ~CatChild() { Finish(); }
    CatChild(const CatChild&) = delete;
    CatChild& operator=(const CatChild&) = delete;

    int pid() const { return m_pid; }

    // Ends the child by closing its input; its exit status, or -1.
    int Finish() {
        if (m_input >= 0) close(m_input);
        m_input = -1;
        int status = 0;
        if (m_pid <= 0 || waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    int m_input = -1;
    int m_pid = 0;
};

}  // namespace vesk::test
