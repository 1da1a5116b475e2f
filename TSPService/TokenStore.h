#pragma once
// The stand-in service's tokens: it issues a disk token and a network token, and validates
// a network token once its disk token has been written to the token file. It remembers the
// tokens used most recently, up to kMaxTokens; an older one counts as never issued, so its
// holder asks for a new one. Safe from any thread.

#include <cstdint>
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
    static constexpr std::size_t kMaxTokens = 1024;

    explicit TokenStore(std::filesystem::path tokenFile);
    IssuedToken Issue();
    // The token, validated when the token file holds exactly its disk token; nullopt when
    // the service never issued it.
    std::optional<IssuedToken> Validate(const std::string& netToken);
    // Requests may carry no token, or one that was validated.
    bool Accepts(const std::string& netToken);
    // A token issued and validated; an empty one never is.
    bool IsValidated(const std::string& netToken);

private:
    struct Entry {
        IssuedToken token;
        std::uint64_t lastUse = 0;
    };

    std::mutex m_mutex;
    std::filesystem::path m_tokenFile;
    std::map<std::string, Entry> m_tokens;
    std::uint64_t m_uses = 0;
};

std::string RandomHex(std::size_t digits);

}  // namespace vesk::tsp_service
