#include "ServiceOptions.h"

#include <cstdlib>
#include <sstream>

namespace vesk::tsp_service {
namespace {

constexpr const char* kOptionsVariable = "VESK_TSP_OPTIONS";

std::filesystem::path DefaultDataDir() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache)
        return std::filesystem::path(cache) / "TSP";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : ".") / ".cache" / "TSP";
}

std::vector<std::string> EnvironmentArgs() {
    std::vector<std::string> args;
    if (const char* text = std::getenv(kOptionsVariable)) {
        std::istringstream words(text);
        for (std::string word; words >> word;) args.push_back(word);
    }
    return args;
}

bool ReadNumber(const std::string& text, long& out) {
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && out >= 0;
}

bool Apply(const std::string& name, const std::string& value, ServiceOptions& o) {
    long number = 0;
    if (name == "--version") {
        o.version = value;
    } else if (name == "--data-dir") {
        o.dataDir = value;
    } else if (name == "--request-log") {
        o.requestLog = value;
    } else if (name == "--ready-file") {
        o.readyFile = value;
    } else if (name == "--peer-interface") {
        o.peerInterface = value;
    } else if (name == "--fault") {
        const auto rule = ParseFaultRule(value);
        if (!rule) return false;
        o.faults.push_back(*rule);
    } else if (!ReadNumber(value, number)) {
        return false;
    } else if (name == "--login-delay") {
        o.loginDelayMs = number;
    } else if (name == "--login-after") {
        o.loginAfter = number;
    } else if (name == "--connections" && number >= 1 && number <= 16) {
        o.connections = static_cast<int>(number);
    } else if (name == "--rest-port" && number >= 1 && number <= 65535) {
        o.restPort = static_cast<int>(number);
    } else if (name == "--peer-port" && number <= 65535) {
        o.peerPort = static_cast<int>(number);
    } else if (name == "--slow-ms") {
        o.slowMs = number;
    } else if (name == "--upgrade-available" && number <= 1) {
        o.upgradeAvailable = number == 1;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::optional<ServiceOptions> ParseServiceOptions(const std::vector<std::string>& args,
                                                  std::string& error) {
    std::vector<std::string> all = EnvironmentArgs();
    all.insert(all.end(), args.begin(), args.end());
    ServiceOptions options;
    options.dataDir = DefaultDataDir();
    for (std::size_t i = 0; i < all.size(); i += 2) {
        if (i + 1 >= all.size() || !Apply(all[i], all[i + 1], options)) {
            error = "bad option: " + all[i];
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace vesk::tsp_service
