#include "FolderWatch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace vesk::test {

bool WaitForFolder(const std::filesystem::path& folder, pid_t process,
                   const std::function<bool()>& done) {
    const int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0) return false;
    // Watched before the first look, so nothing written in between is missed.
    const bool watching =
        inotify_add_watch(watch, folder.c_str(),
                          IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO) >= 0;
    const int ended = static_cast<int>(syscall(SYS_pidfd_open, process, 0));
    bool reached = false;
    while (watching && !(reached = done())) {
        pollfd fds[2] = {{watch, POLLIN, 0}, {ended, POLLIN, 0}};
        if (poll(fds, ended >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents != 0) {
            reached = done();  // what it wrote last
            break;
        }
        char events[4096];
        if (read(watch, events, sizeof events) < 0 && errno != EINTR) break;
    }
    close(watch);
    if (ended >= 0) close(ended);
    return reached;
}

}  // namespace vesk::test
