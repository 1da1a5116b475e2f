#pragma once
// The stand-in transfer service as a real child process for a test, with its own data
// folder, ready once it has said that it listens.

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace vesk::test {

class ServiceProcess {
public:
    explicit ServiceProcess(std::vector<std::string> options = {});
    ~ServiceProcess();  // ends the service and removes its data folder
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool ready() const { return m_ready; }
    pid_t pid() const { return m_child.pid(); }
    // Below the harness's local application data, where the library writes the disk
    // token file the service names.
    const std::filesystem::path& dataDir() const { return m_dataDir; }
    // Its exit code, once it has ended by itself.
    int Wait() { return m_child.Wait(); }

private:
    std::filesystem::path m_dataDir;
    ChildProcess m_child;
    bool m_ready = false;
};

}  // namespace vesk::test
