#pragma once
// The stand-in transfer service as a real child process for a test, with its own data
// folder, ready once it has said that it listens.

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

namespace vesk::test {

class ServiceProcess {
public:
    explicit ServiceProcess(std::vector<std::string> options = {});

    bool ready() const { return m_ready; }
    const TempDir& dataDir() const { return m_dataDir; }
    // Its exit code, once it has ended by itself.
    int Wait() { return m_child.Wait(); }

private:
    TempDir m_dataDir;
    ChildProcess m_child;
    bool m_ready = false;
};

}  // namespace vesk::test
