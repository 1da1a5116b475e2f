#pragma once
// The update server's command line: "--root DIR" (required), "--port N" (0 or absent: a
// port the system chooses) and "--rate KB" (each transfer of a package, a ".zip" file, sent at no
// more than KB kilobytes a second, so that its download can be watched; 0 or absent: as fast as
// it goes).

#include <optional>
#include <string>
#include <vector>

namespace vesk::update_server {

struct ServerOptions {
    std::string root;
    int port = 0;
    int rateKb = 0;
};

// nullopt with a message in error for anything else.
std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& args,
                                                std::string& error);

}  // namespace vesk::update_server
