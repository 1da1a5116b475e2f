#include "process/Launch.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fs/Paths.h"

extern char** environ;

namespace vesk::process {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Splits one argument off the front of the line; the caller has skipped blanks before it.
std::wstring TakeArgument(std::wstring_view line, size_t& i) {
    std::wstring argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == L'\\') ++backslashes, ++i;
        if (i < line.size() && line[i] == L'"') {
            argument.append(backslashes / 2, L'\\');
            if (backslashes % 2 == 1) {
                argument += L'"';
            } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
                argument += L'"';
                ++i;
            } else {
                quoted = !quoted;
            }
            ++i;
        } else if (backslashes > 0) {
            argument.append(backslashes, L'\\');
        } else {
            argument += line[i++];
        }
    }
    return argument;
}

// The child changes folder before it starts the program, so a relative program path must
// be made absolute against our folder first, as the caller meant it.
std::string ProgramPath(std::wstring_view program) {
    if (!program.empty() && program.front() == L'/') return fs::NativePath(program);
    return fs::NativePath(fs::CurrentDirectory() + std::wstring(program));
}

constexpr const char* kNullDevice = "/dev/null";

// Not a pipe, which a program outliving us would hold open for whoever reads it to its end,
// nor closed, which the program's first open would take.
bool IsHandedOn(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && !S_ISFIFO(info.st_mode);
}

class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawnattr_init(&m_attributes);
        posix_spawn_file_actions_init(&m_actions);
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    // Own session, so the program outlives us on its own; no signal mask or ignored
    // SIGPIPE carried over from whichever of our threads starts it. Of our descriptors it
    // gets standard input, output and error only.
    bool Prepare(const std::string& workFolder) {
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        const short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (posix_spawnattr_setflags(&m_attributes, flags) != 0 ||
            posix_spawnattr_setsigmask(&m_attributes, &none) != 0 ||
            posix_spawnattr_setsigdefault(&m_attributes, &defaults) != 0)
            return false;
        for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
            if (!(IsHandedOn(fd) ? HandOn(fd) : GiveNullDevice(fd))) return false;
        }
        // Whatever its close-on-exec flag: libraries open descriptors we never see.
        if (posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1) != 0)
            return false;
        return workFolder.empty() ||
               posix_spawn_file_actions_addchdir_np(&m_actions, workFolder.c_str()) == 0;
    }

    const posix_spawnattr_t* attributes() const { return &m_attributes; }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }

private:
    // Onto itself, so that it is handed on even where ours is close-on-exec.
    bool HandOn(int fd) { return posix_spawn_file_actions_adddup2(&m_actions, fd, fd) == 0; }
    bool GiveNullDevice(int fd) {
        const int access = fd == STDIN_FILENO ? O_RDONLY : O_WRONLY;
        return posix_spawn_file_actions_addopen(&m_actions, fd, kNullDevice, access, 0) == 0;
    }

    posix_spawnattr_t m_attributes;
    posix_spawn_file_actions_t m_actions;
};

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine) {
    std::vector<std::wstring> arguments;
    try {
        size_t i = 0;
        for (;;) {
            while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
            if (i >= commandLine.size()) return arguments;
            arguments.push_back(TakeArgument(commandLine, i));
        }
    } catch (...) {
        return {};
    }
}

// The program stays our child, so a caller may wait for it; nobody has to.
std::optional<int> StartProgram(std::wstring_view program, const std::vector<std::wstring>& args,
                                std::wstring_view workFolder) {
    try {
        if (program.empty()) return std::nullopt;
        const std::string path = ProgramPath(program);
        std::vector<std::string> native{path};
        for (const std::wstring& arg : args) native.push_back(fs::NativePath(arg));
        std::vector<char*> argv;
        for (std::string& arg : native) argv.push_back(arg.data());
        argv.push_back(nullptr);

        SpawnSettings settings;
        if (!settings.Prepare(fs::NativePath(workFolder))) return std::nullopt;
        pid_t pid = 0;
        if (posix_spawn(&pid, path.c_str(), settings.actions(), settings.attributes(), argv.data(),
                        environ) != 0)
            return std::nullopt;
        return static_cast<int>(pid);
    } catch (...) {
        return std::nullopt;
    }
}

bool HasEnded(int pid) {
    if (pid <= 0) return true;
    int status = 0;
    pid_t reaped;
    while ((reaped = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    return reaped != 0;
}

bool ShellOpen(std::wstring_view file, std::wstring_view parameters, std::wstring_view workFolder) {
    try {
        const std::string path = ProgramPath(file);
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            access(path.c_str(), X_OK) != 0)
            return false;
        return StartProgram(file, SplitCommandLine(parameters), workFolder).has_value();
    } catch (...) {
        return false;
    }
}

}  // namespace vesk::process
