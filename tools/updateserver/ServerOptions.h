#pragma once
// The update server's command line: "--root DIR" (required), "--port N" (0 or absent: a
// port the system chooses), "--rate KB" (each transfer of a package, a ".zip" file, sent at no
// more than KB kilobytes a second, so that its download can be watched; 0 or absent: as fast as
// it goes), "--server-rate BYTES" (all transfers together at no more than BYTES a second, as a
// publisher's uplink; 0 or absent: no limit) and "--log FILE" (the request lines appended to
// FILE instead of standard error).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk::update_server {

struct ServerOptions {
    std::string root;
    int port = 0;
    int rateKb = 0;
    std::int64_t serverRate = 0;  // bytes a second
    std::string logPath;
};

// nullopt with a message in error for anything else.
std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& args,
                                                std::string& error);

}  // namespace vesk::update_server
