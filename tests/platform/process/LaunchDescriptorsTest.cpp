// What a started program inherits of our descriptors: standard input, output and error,
// with a pipe or a closed one replaced by /dev/null, and nothing else.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CatChild.h"
#include "TempDir.h"
#include "fs/Paths.h"
#include "process/Launch.h"

using namespace vesk::process;
using vesk::test::TempDir;

namespace {

// Puts `replacement` (closed when -1) in the place of one of our standard descriptors while
// the object lives.
class StandardSwap {
public:
    StandardSwap(int target, int replacement)
        : m_target(target), m_saved(fcntl(target, F_DUPFD_CLOEXEC, 10)) {
        if (replacement >= 0) {
            dup2(replacement, target);
        } else {
            close(target);
        }
    }
    ~StandardSwap() {
        if (m_saved < 0) {
            close(m_target);
            return;
        }
        dup2(m_saved, m_target);
        close(m_saved);
    }
    StandardSwap(const StandardSwap&) = delete;
    StandardSwap& operator=(const StandardSwap&) = delete;

private:
    int m_target;
    int m_saved;
};

std::string LinkOf(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

std::set<int> DescriptorsOf(pid_t pid) {
    std::set<int> fds;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        fds.insert(std::stoi(entry.path().filename().string()));
    return fds;
}

std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

int Reap(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using Starter = std::function<bool(const std::wstring& program, const std::wstring& line)>;

struct NamedStarter {
    const char* name;
    Starter start;
};

const NamedStarter kStarters[] = {
    {"StartProgram",
     [](const std::wstring& program, const std::wstring& line) {
         return StartProgram(program, SplitCommandLine(line)).has_value();
     }},
    {"ShellOpen", [](const std::wstring& program,
                     const std::wstring& line) { return ShellOpen(program, line); }},
};

// A shell that says its id and becomes /bin/cat, on sockets of ours (a socket is handed on
// as it is). Once a line sent comes back, cat runs its main loop and has closed whatever it
// opened on its way there, so its descriptors are what it was started with.
class EchoingChild {
public:
    explicit EchoingChild(const Starter& start) {
        int in[2], out[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) return;
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0) return;
        bool started = false;
        {
            StandardSwap input(STDIN_FILENO, in[0]);
            StandardSwap output(STDOUT_FILENO, out[1]);
            started = start(L"/bin/sh", L"-c \"echo $$; exec /bin/cat\"");
        }
        close(in[0]);
        close(out[1]);
        m_input = in[1];
        m_output = out[0];
        if (!started) return;
        m_pid = static_cast<pid_t>(std::atoi(ReadLine(m_output).c_str()));
        m_echoed = write(m_input, "ping\n", 5) == 5 && ReadLine(m_output) == "ping";
    }
    ~EchoingChild() { Finish(); }
    EchoingChild(const EchoingChild&) = delete;
    EchoingChild& operator=(const EchoingChild&) = delete;

    pid_t pid() const { return m_pid; }
    bool echoed() const { return m_echoed; }

    int Finish() {
        if (m_input >= 0) close(m_input);
        if (m_output >= 0) close(m_output);
        m_input = m_output = -1;
        const int code = Reap(m_pid);
        m_pid = 0;
        return code;
    }

private:
    int m_input = -1;
    int m_output = -1;
    pid_t m_pid = 0;
    bool m_echoed = false;
};

// Descriptors of ours a careless library would leave inheritable: a file, a pipe, a socket.
class InheritableDescriptors {
public:
    InheritableDescriptors() {
        m_fds.push_back(open("/dev/null", O_RDONLY));
        int fds[2];
        if (pipe(fds) == 0) m_fds.insert(m_fds.end(), {fds[0], fds[1]});
        m_fds.push_back(socket(AF_INET, SOCK_STREAM, 0));
    }
    ~InheritableDescriptors() {
        for (int fd : m_fds)
            if (fd >= 0) close(fd);
    }
    InheritableDescriptors(const InheritableDescriptors&) = delete;
    InheritableDescriptors& operator=(const InheritableDescriptors&) = delete;

    bool allOpen() const {
        for (int fd : m_fds)
            if (fd < 0 || (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0) return false;
        return m_fds.size() == 4;
    }

private:
    std::vector<int> m_fds;
};

}  // namespace

TEST(LaunchDescriptors, OnlyStandardDescriptorsReachTheProgram) {
    InheritableDescriptors ours;
    ASSERT_TRUE(ours.allOpen());
    for (const NamedStarter& starter : kStarters) {
        SCOPED_TRACE(starter.name);
        EchoingChild child(starter.start);
        ASSERT_GT(child.pid(), 0);
        ASSERT_TRUE(child.echoed());
        EXPECT_EQ(DescriptorsOf(child.pid()), (std::set<int>{0, 1, 2}));
        EXPECT_EQ(child.Finish(), 0);
    }
}

// A pipe or a closed descriptor becomes /dev/null; anything else is handed on as it is.
TEST(LaunchDescriptors, PipesAndClosedStandardDescriptorsBecomeTheNullDevice) {
    enum class Kind { Pipe, Closed, File, CloseOnExecFile, Socket };
    struct Row {
        int target;
        Kind kind;
        bool replaced;
    };
    const Row rows[] = {
        {STDIN_FILENO, Kind::Pipe, true},     {STDOUT_FILENO, Kind::Pipe, true},
        {STDERR_FILENO, Kind::Pipe, true},    {STDIN_FILENO, Kind::Closed, true},
        {STDERR_FILENO, Kind::Closed, true},  {STDIN_FILENO, Kind::File, false},
        {STDOUT_FILENO, Kind::File, false},   {STDOUT_FILENO, Kind::CloseOnExecFile, false},
        {STDERR_FILENO, Kind::Socket, false},
    };
    TempDir dir;
    const std::filesystem::path report = dir / "links.txt";
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "descriptor " << row.target << ", kind " << static_cast<int>(row.kind));
        int ends[2] = {-1, -1};
        switch (row.kind) {
            case Kind::Pipe:
                ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
                break;
            case Kind::Closed:
                break;
            case Kind::File:
            case Kind::CloseOnExecFile:
                ends[0] = ends[1] =
                    open((dir / "plain").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
                ASSERT_GE(ends[0], 0);
                break;
            case Kind::Socket:
                ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
                break;
        }
        const int given = row.target == STDIN_FILENO ? ends[0] : ends[1];
        const std::string expected =
            row.replaced ? "/dev/null" : LinkOf("/proc/self/fd/" + std::to_string(given));
        std::optional<int> pid;
        {
            StandardSwap swap(row.target, given);
            if (row.kind == Kind::CloseOnExecFile) fcntl(row.target, F_SETFD, FD_CLOEXEC);
            // The shell's own descriptors, read by a subshell before any redirection.
            pid = StartProgram(L"/bin/sh",
                               {L"-c",
                                L"links=$(readlink /proc/$$/fd/" + std::to_wstring(row.target) +
                                    L"); echo \"$links\" > \"$1\"",
                                L"sh", vesk::fs::WidePath(report.string())});
        }
        if (ends[0] >= 0) close(ends[0]);
        if (ends[1] >= 0 && ends[1] != ends[0]) close(ends[1]);
        ASSERT_TRUE(pid);
        EXPECT_EQ(Reap(*pid), 0);
        EXPECT_EQ(vesk::test::ReadFileBytes(report), expected + "\n");
    }
}

// Whoever reads our output to its end (a CI runner, a test harness) is not kept waiting by
// a program we started that runs on.
TEST(LaunchDescriptors, OutputPipeEndsWithUsWhileTheProgramRunsOn) {
    for (const int target : {STDOUT_FILENO, STDERR_FILENO}) {
        SCOPED_TRACE(target);
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
        std::optional<vesk::test::CatChild> cat;
        {
            StandardSwap swap(target, ends[1]);
            cat.emplace();
        }
        close(ends[1]);
        ASSERT_GT(cat->pid(), 0);
        pollfd reader{ends[0], POLLIN, 0};
        ASSERT_EQ(poll(&reader, 1, 0), 1) << "the running program still holds the pipe";
        char byte = 0;
        EXPECT_EQ(read(ends[0], &byte, 1), 0);
        close(ends[0]);
        EXPECT_EQ(cat->Finish(), 0);
    }
}
