#include "ServerOptions.h"

#include <charconv>

namespace vesk::update_server {

std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    ServerOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name != "--root" && name != "--port") {
            error = "unknown argument \"" + name + "\"";
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (name == "--root") {
            options.root = value;
            continue;
        }
        const char* end = value.data() + value.size();
        const auto [stop, failure] = std::from_chars(value.data(), end, options.port);
        if (failure != std::errc() || stop != end || options.port < 0 || options.port > 65535) {
            error = "--port needs a number from 0 to 65535, not \"" + value + "\"";
            return std::nullopt;
        }
    }
    if (options.root.empty()) {
        error = "--root DIR is required";
        return std::nullopt;
    }
    return options;
}

}  // namespace vesk::update_server
