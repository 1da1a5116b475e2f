#include "TokenCache.h"

#include "DiskTokenFile.h"
#include "NetToken.h"
#include "ServiceRequests.h"

namespace vesk::tsp {

TokenCache& TokenCache::Instance() {
    // Lives until the process ends, so a host thread still running at exit can use it.
    static TokenCache* const cache = new TokenCache;
    return *cache;
}

std::wstring TokenCache::CurrentNetToken() {
    std::lock_guard lock(m_mutex);
    if (!m_token) m_token = RequestToken().record;
    if (m_token) {
        m_netToken = m_token->netToken;
        Validate();
    }
    return m_netToken;
}

bool TokenCache::Validate() {
    std::lock_guard lock(m_mutex);
    if (!m_token) return false;
    WriteDiskTokenFile(*m_token);
    const auto reply = RequestValidateDiskToken(m_token->netToken);
    if (reply.record && reply.record->validated) {
        WriteDiskTokenFile(*m_token);
        return true;
    }
    m_token.reset();
    return false;
}

int TokenCache::Renew() {
    std::lock_guard lock(m_mutex);
    m_token = RequestToken().record;
    m_netToken.clear();
    if (m_token) {
        m_netToken = m_token->netToken;
        WriteDiskTokenFile(*m_token);
    }
    return Validate() ? kServiceTokenValid : kServiceTokenInvalid;
}

std::wstring CurrentNetToken() {
    return TokenCache::Instance().CurrentNetToken();
}

}  // namespace vesk::tsp
