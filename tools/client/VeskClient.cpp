// The stand-in client program. Each start appends one line to "VeskClient.starts" beside
// the program: its arguments joined by single blanks. Started with "--stay" as its only
// argument it also prints "ready" once recorded and keeps running until its standard input
// closes, so a test can hold a running client and end it.

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    const std::string exe(path, static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

bool Record(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    line += '\n';
    const std::string path = ProgramFolder() + "VeskClient.starts";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // One write, so starts that overlap never mix their lines.
    const bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    close(fd);
    return ok;
}

void StayUntilInputCloses() {
    std::puts("ready");
    std::fflush(stdout);
    char buffer[256];
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!Record(argc, argv)) return 1;
    if (argc == 2 && std::strcmp(argv[1], "--stay") == 0) StayUntilInputCloses();
    return 0;
}
