#pragma once
// An X server of the test's own, on a free display number that it reports once it accepts
// clients, and xdotool on it to find the windows of a process and act on them.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace vesk::test {

class VirtualDisplay {
public:
    VirtualDisplay();  // no display (an empty name) where Xvfb is missing or does not start

    const std::string& name() const { return m_name; }
    pid_t pid() const { return m_server.pid(); }
    // Whether xdotool is there to act on the display's windows.
    static bool CanAct();
    // What xdotool printed on this display; nothing when it failed.
    std::optional<std::string> Xdotool(std::vector<std::string> args) const;
    // The X window of the process with that size; empty when there is none.
    std::string WindowOfSize(pid_t process, int width, int height) const;

private:
    ChildProcess m_server;
    std::string m_name;
};

}  // namespace vesk::test
