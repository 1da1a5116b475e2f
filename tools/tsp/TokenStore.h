#pragma once
// The stand-in service's tokens: it issues a disk token and a network token, and validates
// a network token once its disk token has been written to the token file. Safe from any
// thread.

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace vesk::tsp_service {

struct IssuedToken {
    std::string diskToken;
    std::string netToken;
    std::string filePath;
    bool validated = false;
};

class TokenStore {
public:
    explicit TokenStore(std::filesystem::path tokenFile);
    IssuedToken Issue();
    // The token, validated when the token file holds exactly its disk token; nullopt when
    // the service never issued it.
    std::optional<IssuedToken> Validate(const std::string& netToken);
    // Requests may carry no token, or one that was validated.
    bool Accepts(const std::string& netToken);

private:
    std::mutex m_mutex;
    std::filesystem::path m_tokenFile;
    std::map<std::string, IssuedToken> m_tokens;
};

std::string RandomHex(std::size_t digits);

}  // namespace vesk::tsp_service
