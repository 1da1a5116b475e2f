#pragma once
// A real child process for tests: its own environment changes, a pipe on each of standard
// input, output and error, and optional extra descriptors handed down at fixed numbers.
// Waiting is blocking (waitpid, reads), never timed.

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vesk::test {

class ChildProcess {
public:
    struct Options {
        std::vector<std::string> args;              // after the program
        std::map<std::string, std::string> setEnv;  // added or replaced
        std::vector<std::string> unsetEnv;          // removed
        std::vector<std::pair<int, int>> passFds;   // {our fd, fd number in the child}
        std::string workFolder;
    };

    ChildProcess() = default;
    ~ChildProcess();  // closes the pipes, kills and reaps a child still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::string& program, const Options& options);

    pid_t pid() const { return m_pid; }
    // One line from standard output, without its LF; nullopt at end of output.
    std::optional<std::string> ReadLine();
    void CloseInput();
    // Reads output and error to their ends and reaps the child; its exit code, or 128 +
    // the signal that ended it.
    int Wait();
    void Kill();
    const std::string& Output() const { return m_out; }
    const std::string& Error() const { return m_err; }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    std::string m_out;
    std::string m_err;
    std::string m_pendingOut;
    std::optional<int> m_status;
};

// Makes this test process adopt orphaned descendants, so a program started by a child
// (and left running when the child ends) can be reaped with ReapAnyChild.
void BecomeSubreaper();
// Waits for any one adopted or own child; its pid and exit code.
std::pair<pid_t, int> ReapAnyChild();
// Waits for every child of this process, adopted ones included, except those named; for the
// programs a child started and left running when it ended.
void ReapChildrenExcept(const std::vector<pid_t>& keep);
// Kills every process of ours whose program file lies below the folder (what a test's programs
// installed and left running there).
void KillProgramsUnder(const std::string& folder);

}  // namespace vesk::test
