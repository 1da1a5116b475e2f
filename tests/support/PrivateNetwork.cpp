// Runs a test program in a network of its own, with a loopback interface that is up, so
// the fixed ports it listens on (the transfer service's 127.0.0.1:60524) are its own: a
// second test run or a developer's service cannot take them. Where the system allows no
// such network, the program runs on the machine's network, as it would without us.
//   vesk_private_network PROGRAM [ARGUMENTS...]

#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool WriteFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return close(fd) == 0 && written;
}

bool LoopbackUp() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up;
}

// A network namespace alone keeps every user and file as it is; it needs the privilege
// to make one. Anyone else may make it inside a user namespace of their own, where they
// keep their own user and group ids (and lose no file access) but gain that privilege.
bool EnterPrivateNetwork(std::string& why) {
    if (geteuid() == 0 && unshare(CLONE_NEWNET) == 0) {
        if (LoopbackUp()) return true;
        why = "loopback stays down";
        return false;
    }
    const std::string uid = std::to_string(geteuid());
    const std::string gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        why = std::string("unshare: ") + std::strerror(errno);
        return false;
    }
    if (!WriteFile("/proc/self/setgroups", "deny") ||
        !WriteFile("/proc/self/uid_map", uid + " " + uid + " 1\n") ||
        !WriteFile("/proc/self/gid_map", gid + " " + gid + " 1\n")) {
        why = "user namespace without an id map";
        return false;
    }
    if (!LoopbackUp()) {
        why = "loopback stays down";
        return false;
    }
    return true;
}

// Tried first in a child that ends at once: a namespace half made cannot be left again.
bool PrivateNetworkPossible(std::string& why) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = fork();
    if (child < 0) {
        why = "fork failed";
        return false;
    }
    if (child == 0) {
        std::string reason;
        const std::string answer = EnterPrivateNetwork(reason) ? "" : "-" + reason;
        static_cast<void>(write(report[1], answer.data(), answer.size()));
        _exit(0);
    }
    close(report[1]);
    std::string answer;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(report[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        answer.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    close(report[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (answer.empty() && WIFEXITED(status)) return true;
    why = answer.empty() ? "trial ended abnormally" : answer.substr(1);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vesk_private_network PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    std::string why;
    if (!PrivateNetworkPossible(why)) {
        std::fprintf(stderr, "vesk_private_network: on the machine's network (%s)\n", why.c_str());
    } else if (!EnterPrivateNetwork(why)) {
        std::fprintf(stderr, "vesk_private_network: private network half made (%s)\n", why.c_str());
        return 125;
    }
    execvp(argv[1], argv + 1);
    std::fprintf(stderr, "vesk_private_network: cannot run %s: %s\n", argv[1],
                 std::strerror(errno));
    return 127;
}
