#include "ServerOptions.h"

#include <charconv>

namespace vesk::update_server {

std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    ServerOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name != "--root" && name != "--port" && name != "--rate") {
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
        const bool port = name == "--port";
        const int most = port ? 65535 : 1 << 20;
        int& number = port ? options.port : options.rateKb;
        const char* end = value.data() + value.size();
        const auto [stop, failure] = std::from_chars(value.data(), end, number);
        if (failure != std::errc() || stop != end || number < 0 || number > most) {
            error = name + " needs a number from 0 to " + std::to_string(most) + ", not \"" +
                    value + "\"";
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
