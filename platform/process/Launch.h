#pragma once
// Starting programs: a command line split by the Windows rules, and the shell's "open"
// verb. Started programs run on by themselves (their own session). They get our standard
// input, output and error, each replaced by /dev/null where ours is a pipe (they would hold
// it open after we end) or closed, and no other descriptor of ours. Safe from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::process {

// The Windows command-line rules: blanks separate arguments; double quotes group;
// 2n backslashes before a quote give n backslashes and the quote acts; 2n+1 give n and a
// literal quote; other backslashes are literal; "" inside quotes is a literal quote.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Starts the program with the arguments given, in workFolder (empty: ours). Returns the
// process id, or nullopt when it could not be started.
std::optional<int> StartProgram(std::wstring_view program, const std::vector<std::wstring>& args,
                                std::wstring_view workFolder = {});

// The zero-time wait on a program StartProgram started: true once it has ended (and it is
// then reaped) or when the id is no child of ours.
bool HasEnded(int pid);

// The shell verb "open" on a program file: parameters are one command line, split by the
// rules above. False when the file is missing or cannot be started.
bool ShellOpen(std::wstring_view file, std::wstring_view parameters = {},
               std::wstring_view workFolder = {});

}  // namespace vesk::process
