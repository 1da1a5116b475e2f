#include "ServerOptions.h"

#include <charconv>

namespace vesk::update_server {
namespace {

// A whole number from 0 to most; false when value is anything else.
template <typename Number>
bool ReadNumber(const std::string& value, Number most, Number& number) {
    const char* end = value.data() + value.size();
    const auto [stop, failure] = std::from_chars(value.data(), end, number);
    return failure == std::errc() && stop == end && number >= 0 && number <= most;
}

}  // namespace

std::optional<ServerOptions> ParseServerOptions(const std::vector<std::string>& args,
                                                std::string& error) {
    constexpr std::int64_t kMostServerRate = std::int64_t{1} << 40;
    ServerOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name != "--root" && name != "--port" && name != "--rate" && name != "--server-rate" &&
            name != "--log") {
            error = "unknown argument \"" + name + "\"";
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (name == "--root" || name == "--log") {
            (name == "--root" ? options.root : options.logPath) = value;
            continue;
        }
        bool ok = false;
        std::string most;
        if (name == "--server-rate") {
            ok = ReadNumber(value, kMostServerRate, options.serverRate);
            most = std::to_string(kMostServerRate);
        } else {
            const bool port = name == "--port";
            const int limit = port ? 65535 : 1 << 20;
            ok = ReadNumber(value, limit, port ? options.port : options.rateKb);
            most = std::to_string(limit);
        }
        if (!ok) {
            error = name + " needs a number from 0 to " + most + ", not \"" + value + "\"";
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
