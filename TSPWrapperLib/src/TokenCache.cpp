#include "TokenCache.h"

#include "DiskTokenFile.h"
#include "KeptForTheProcess.h"
#include "LibLog.h"
#include "NetToken.h"
#include "ServiceRequests.h"

namespace vesk::tsp {
namespace {

constexpr const wchar_t* kRefusedTokenPath = L"Disk token path refused: ";

}  // namespace

TokenCache& TokenCache::Instance() {
    static TokenCache* const cache = KeptForTheProcess(new TokenCache);
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
    if (!m_token || !WriteTokenFile()) return false;
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
        if (!WriteTokenFile()) return kServiceTokenInvalid;
    }
    return Validate() ? kServiceTokenValid : kServiceTokenInvalid;
}

bool TokenCache::WriteTokenFile() {
    if (WriteDiskTokenFile(*m_token) != DiskTokenWrite::Refused) return true;
    // As if the service had not validated it: nothing is asked, and the next need fetches
    // a new record.
    LibLogRefusal(kRefusedTokenPath + m_token->filePath);
    m_token.reset();
    return false;
}

std::wstring CurrentNetToken() {
    return TokenCache::Instance().CurrentNetToken();
}

}  // namespace vesk::tsp
