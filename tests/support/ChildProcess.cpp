#include "ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace vesk::test {
namespace {

std::vector<std::string> BuildEnvironment(const ChildProcess::Options& options) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const size_t eq = entry.find('=');
        if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& name : options.unsetEnv) env.erase(name);
    for (const auto& [name, value] : options.setEnv) env[name] = value;
    std::vector<std::string> out;
    for (const auto& [name, value] : env) out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
    CloseInput();
    if (m_pid > 0 && !m_status) {
        Kill();
        Wait();
    }
    CloseFd(m_outFd);
    CloseFd(m_errFd);
}

bool ChildProcess::Start(const std::string& program, const Options& options) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (const auto& [ours, theirs] : options.passFds)
        posix_spawn_file_actions_adddup2(&actions, ours, theirs);
    if (!options.workFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workFolder.c_str());

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), options.args.begin(), options.args.end());
    std::vector<std::string> envStrings = BuildEnvironment(options);
    auto argv = Pointers(argStrings);
    auto envp = Pointers(envStrings);
    const int rc =
        posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    m_in = in[1];
    m_outFd = out[0];
    m_errFd = err[0];
    if (rc != 0) m_pid = -1;
    return rc == 0;
}

std::optional<std::string> ChildProcess::ReadLine() {
    for (;;) {
        const size_t lf = m_pendingOut.find('\n');
        if (lf != std::string::npos) {
            std::string line = m_pendingOut.substr(0, lf);
            m_out += m_pendingOut.substr(0, lf + 1);
            m_pendingOut.erase(0, lf + 1);
            return line;
        }
        char buffer[4096];
        const ssize_t n = m_outFd < 0 ? 0 : read(m_outFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        m_pendingOut.append(buffer, static_cast<size_t>(n));
    }
}

void ChildProcess::CloseInput() {
    CloseFd(m_in);
}

int ChildProcess::Wait() {
    if (m_status) return ExitCode(*m_status);
    m_out += m_pendingOut;
    m_pendingOut.clear();
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    std::string* sinks[2] = {&m_out, &m_err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    m_outFd = m_errFd = -1;
    int status = 0;
    while (m_pid > 0 && waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_status = status;
    return ExitCode(status);
}

void ChildProcess::Kill() {
    if (m_pid > 0 && !m_status) kill(m_pid, SIGKILL);
}

void BecomeSubreaper() {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

std::pair<pid_t, int> ReapAnyChild() {
    int status = 0;
    pid_t pid;
    while ((pid = waitpid(-1, &status, 0)) < 0 && errno == EINTR) {
    }
    return {pid, ExitCode(status)};
}

void ReapChildrenExcept(const std::vector<pid_t>& keep) {
    const pid_t self = getpid();
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // "pid (comm) state ppid ...": the name may hold blanks and parentheses.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        const pid_t pid = std::stoi(name);
        if (parent == self && std::find(keep.begin(), keep.end(), pid) == keep.end())
            children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

void KillProgramsUnder(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code error;
        const std::string exe = std::filesystem::read_symlink(entry.path() / "exe", error).string();
        if (!error && exe.starts_with(folder)) kill(std::stoi(name), SIGKILL);
    }
}

}  // namespace vesk::test
