#pragma once
// The update server's command line: "--root DIR" (required) and "--port N" (0 or absent: a
// port the system chooses).

#include <optional>
#include <string>
#include <vector>

namespace vesk::update_server {

struct ServerOptions {
    std::string root;
    int port = 0;
};

// nullopt with a message in error for anything else.
std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& args,
                                                std::string& error);

}  // namespace vesk::update_server
