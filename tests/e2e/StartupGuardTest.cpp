// The one-copy guard of the real updater: a per-user lock file named after the program folder,
// which no other user can hold and no planted link can redirect.

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>

#include "Installation.h"

namespace {

namespace fs = std::filesystem;
using vesk::test::Installation;
using vesk::test::ReadFileBytes;

constexpr uid_t kNobody = 65534;
constexpr char kStarted[] = "Start-up done";
constexpr char kUnguarded[] = "Instance guard unavailable";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The lock files the updater left in folder.
std::vector<fs::path> LockFilesIn(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("VeskUpdate-") && name.ends_with(".lock")) found.push_back(entry);
    }
    return found;
}

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The lock file of the installation, as its first run leaves it in the cache folder.
std::optional<fs::path> LockFileAfterARun(const Installation& install) {
    if (install.RunUpdater() != 1) return std::nullopt;
    const auto found = LockFilesIn(install.home() / ".cache");
    if (found.size() != 1) return std::nullopt;
    return found.front();
}

// Another user, in a child of the test's own: holds a lock on each of the files it can open
// (the way anyone who may read the program could block it before), and says what it got.
class Stranger {
public:
    explicit Stranger(const std::vector<fs::path>& files) {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(1);
            std::string held;
            for (const fs::path& file : files) {
                const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
                held += fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
            }
            held += '\n';
            if (write(ready[1], held.data(), held.size()) != static_cast<ssize_t>(held.size()))
                _exit(1);
            for (;;) pause();
        }
        close(ready[1]);
        char c = 0;
        while (m_pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') m_held += c;
        close(ready[0]);
    }
    ~Stranger() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    // 'y' for each file it holds a lock on, 'n' for each it could not.
    const std::string& held() const { return m_held; }

private:
    pid_t m_pid = -1;
    std::string m_held;
};

TEST(StartupGuard, AnotherUserWhoCanReadTheProgramCannotBlockAStart) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    Installation install;
    install.AddDemoStringTable();
    // The stranger must reach the program and the lock file's folder through every folder
    // above them.
    for (fs::path folder = install.home() / ".cache"; folder != folder.root_path();
         folder = folder.parent_path()) {
        fs::create_directories(folder);
        chmod(folder.c_str(), ModeOf(folder) | 0755);
    }
    chmod(install.programFolder().c_str(), ModeOf(install.programFolder()) | 0755);

    {
        const Stranger stranger({install.UpdaterPath()});
        ASSERT_EQ(stranger.held(), "y") << "anyone may read the program";
        std::string errors;
        EXPECT_EQ(install.RunUpdater({}, &errors), 1);
        EXPECT_EQ(errors, "");
        const std::string log = ReadFileBytes(install.log());
        EXPECT_TRUE(Contains(log, kStarted)) << log;
        EXPECT_FALSE(Contains(log, kUnguarded)) << log;
    }
    const auto found = LockFilesIn(install.home() / ".cache");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(ModeOf(found.front()), 0600u);
    const Stranger stranger({found.front()});
    EXPECT_EQ(stranger.held(), "n") << "the lock file is its user's alone";
}

// A link at the lock file's place is never followed: the run goes on unguarded, says so, and
// neither the link's target nor the place it names is touched.
TEST(StartupGuard, ALinkAtTheLockFilesPlaceIsNotFollowed) {
    Installation install;
    install.AddDemoStringTable();
    const std::optional<fs::path> lockFile = LockFileAfterARun(install);
    ASSERT_TRUE(lockFile);
    const fs::path victim = install.home() / "victim";
    vesk::test::WriteFileBytes(victim, "precious");
    chmod(victim.c_str(), 0644);
    const fs::path nowhere = install.home() / "made-through-the-link";

    for (const fs::path& target : {victim, nowhere}) {
        SCOPED_TRACE(target.filename().string());
        fs::remove(*lockFile);
        fs::create_symlink(target, *lockFile);
        std::string errors;
        EXPECT_EQ(install.RunUpdater({}, &errors), 1);
        EXPECT_EQ(errors, "");
        const std::string log = ReadFileBytes(install.log());
        EXPECT_TRUE(Contains(log, std::string(kUnguarded) +
                                      " (the lock file is no plain file of this user's, error " +
                                      std::to_string(ELOOP) + "), running anyway."))
            << log;
        EXPECT_TRUE(Contains(log, kStarted)) << log;
        EXPECT_TRUE(fs::is_symlink(*lockFile));
    }
    EXPECT_EQ(ReadFileBytes(victim), "precious");
    EXPECT_EQ(ModeOf(victim), 0644u);
    EXPECT_FALSE(fs::exists(nowhere));
}

// With a runtime folder the lock file lives there, and it still keeps a second copy out.
TEST(StartupGuard, TheRuntimeFolderHoldsTheLockFileWhenThereIsOne) {
    Installation install;
    install.AddDemoStringTable();
    const fs::path runtime = install.home() / "run";
    fs::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    install.SetEnv("XDG_RUNTIME_DIR", runtime.string());
    EXPECT_EQ(install.RunUpdater(), 1);
    const auto found = LockFilesIn(runtime);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(ModeOf(found.front()), 0600u);
    EXPECT_TRUE(LockFilesIn(install.home() / ".cache").empty());

    const int fd = open(found.front().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);  // as a running copy holds it
    fs::remove(install.log());
    EXPECT_EQ(install.RunUpdater(), 1);
    EXPECT_FALSE(fs::exists(install.log())) << "the second copy ends at once";
    close(fd);
    EXPECT_EQ(install.RunUpdater(), 1);
    EXPECT_TRUE(Contains(ReadFileBytes(install.log()), kStarted));
}

}  // namespace
