#include "TokenStore.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace vesk::tsp_service {

std::string RandomHex(std::size_t digits) {
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    std::lock_guard lock(mutex);
    std::string out;
    for (std::size_t i = 0; i < digits; ++i) out += "0123456789abcdef"[engine() & 0x0F];
    return out;
}

TokenStore::TokenStore(std::filesystem::path tokenFile) : m_tokenFile(std::move(tokenFile)) {}

IssuedToken TokenStore::Issue() {
    IssuedToken token{RandomHex(32), RandomHex(32), m_tokenFile.string(), false};
    std::lock_guard lock(m_mutex);
    m_tokens[token.netToken] = {token, ++m_uses};
    // A client that asks again and again must not make the service grow without end.
    if (m_tokens.size() > kMaxTokens) {
        m_tokens.erase(std::min_element(
            m_tokens.begin(), m_tokens.end(),
            [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; }));
    }
    return token;
}

std::optional<IssuedToken> TokenStore::Validate(const std::string& netToken) {
    std::lock_guard lock(m_mutex);
    const auto it = m_tokens.find(netToken);
    if (it == m_tokens.end()) return std::nullopt;
    IssuedToken& token = it->second.token;
    it->second.lastUse = ++m_uses;
    std::ifstream in(token.filePath, std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    token.validated = in.is_open() && onDisk == token.diskToken;
    return token;
}

bool TokenStore::Accepts(const std::string& netToken) {
    return netToken.empty() || IsValidated(netToken);
}

bool TokenStore::IsValidated(const std::string& netToken) {
    std::lock_guard lock(m_mutex);
    const auto it = m_tokens.find(netToken);
    if (it == m_tokens.end() || !it->second.token.validated) return false;
    it->second.lastUse = ++m_uses;
    return true;
}

}  // namespace vesk::tsp_service
