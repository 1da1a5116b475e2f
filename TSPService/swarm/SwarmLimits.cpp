#include "SwarmLimits.h"

#include <charconv>
#include <fstream>

namespace vesk::tsp_service {
namespace {

std::optional<std::int64_t> ReadCount(const std::string& text, std::int64_t most) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end || value < 0 || value > most)
        return std::nullopt;
    return value;
}

constexpr std::int64_t kMaxCount = std::int64_t{1} << 50;
constexpr std::int64_t kMaxPort = 65535;
constexpr std::int64_t kMaxRate = 0x7fffffff;

}  // namespace

SwarmLimits::SwarmLimits(std::filesystem::path file, int peerPort) : m_file(std::move(file)) {
    std::ifstream in(m_file);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) Apply(line.substr(0, equals), line.substr(equals + 1));
    }
    if (peerPort >= 0) m_values.peerPort = peerPort;
}

SwarmLimitValues SwarmLimits::Values() {
    std::lock_guard lock(m_mutex);
    return m_values;
}

std::optional<std::string> SwarmLimits::Get(const std::string& key) {
    std::lock_guard lock(m_mutex);
    if (key == kCacheLimitKey) return std::to_string(m_values.cacheLimitBytes);
    if (key == kUploadRateKey) return std::to_string(m_values.uploadRateLimit);
    if (key == kSeedSecondsKey) return std::to_string(m_values.seedSeconds);
    if (key == kPeerPortKey) return std::to_string(m_values.peerPort);
    return std::nullopt;
}

bool SwarmLimits::Set(const std::string& key, const std::string& value) {
    std::lock_guard lock(m_mutex);
    if (!Apply(key, value)) return false;
    Save();
    return true;
}

bool SwarmLimits::Apply(const std::string& key, const std::string& value) {
    const bool port = key == kPeerPortKey;
    const auto number =
        ReadCount(value, port ? kMaxPort : (key == kUploadRateKey ? kMaxRate : kMaxCount));
    if (!number) return false;
    if (key == kCacheLimitKey) {
        m_values.cacheLimitBytes = *number;
    } else if (key == kUploadRateKey) {
        m_values.uploadRateLimit = *number;
    } else if (key == kSeedSecondsKey) {
        m_values.seedSeconds = *number;
    } else if (port) {
        m_values.peerPort = static_cast<int>(*number);
    } else {
        return false;
    }
    return true;
}

void SwarmLimits::Save() {
    const std::filesystem::path temporary = m_file.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << kCacheLimitKey << '=' << m_values.cacheLimitBytes << '\n'
            << kUploadRateKey << '=' << m_values.uploadRateLimit << '\n'
            << kSeedSecondsKey << '=' << m_values.seedSeconds << '\n'
            << kPeerPortKey << '=' << m_values.peerPort << '\n';
        if (!out) return;
    }
    std::error_code ignored;
    std::filesystem::rename(temporary, m_file, ignored);
}

}  // namespace vesk::tsp_service
