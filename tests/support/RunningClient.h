#pragma once
// The stand-in client copied into a folder and started with "--stay": it runs until the
// object goes.

#include <filesystem>
#include <string>

#include "ChildProcess.h"

namespace vesk::test {

class RunningClient {
public:
    explicit RunningClient(const std::filesystem::path& folder,
                           const std::string& name = "VeskClient.exe");
    ~RunningClient();
    pid_t pid() const { return m_process.pid(); }

private:
    ChildProcess m_process;
};

}  // namespace vesk::test
