#pragma once
// What a player allows the swarm: the cache's size, the upload rate, how long a finished
// package is seeded and the peer port. Kept in a small key file in the service's folder so
// the choices survive a restart. Safe from any thread.

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace vesk::tsp_service {

inline constexpr const char* kCacheLimitKey = "cacheLimitBytes";
inline constexpr const char* kUploadRateKey = "uploadRateLimit";
inline constexpr const char* kSeedSecondsKey = "seedSeconds";
inline constexpr const char* kPeerPortKey = "peerPort";

struct SwarmLimitValues {
    std::int64_t cacheLimitBytes = 2147483648;
    std::int64_t uploadRateLimit = 0;  // bytes per second; 0: none
    std::int64_t seedSeconds = 86400;  // 0: no seeding
    int peerPort = 6881;
};

class SwarmLimits {
public:
    // Reads the saved values; peerPort >= 0 (given on the command line) wins over the saved one.
    SwarmLimits(std::filesystem::path file, int peerPort);

    SwarmLimitValues Values();
    std::optional<std::string> Get(const std::string& key);
    // False for an unknown key or a value out of range; the file is rewritten on success.
    bool Set(const std::string& key, const std::string& value);

private:
    bool Apply(const std::string& key, const std::string& value);
    void Save();

    const std::filesystem::path m_file;
    std::mutex m_mutex;
    SwarmLimitValues m_values;
};

}  // namespace vesk::tsp_service
