#pragma once
// The network token the library sends on requests that carry one: the last token record
// the service gave, checked through the disk token file before each use and renewed when
// the service asks for it (statusId 902).
//
// One per process, created on first use. Every operation holds the cache's recursive lock,
// also while it asks the service, so requests that need the token take turns. Safe from any
// thread.

#include <memory>
#include <mutex>
#include <string>

#include "TSPWrapperLib.h"

namespace vesk::tsp {

class TokenCache {
public:
    static TokenCache& Instance();

    // Fetches a record when none is held, validates it, and returns the network token:
    // empty when the service never gave one, the earlier one when validation dropped it.
    std::wstring CurrentNetToken();
    // Writes the disk token file and asks the service to validate the held record; a
    // record the service does not validate is dropped, so the next need fetches a new one.
    // A token file path the library refuses to write counts as not validated.
    bool Validate();
    // A fresh record from the service, then validation: kServiceTokenValid or
    // kServiceTokenInvalid.
    int Renew();

private:
    TokenCache() = default;
    // Writes the held record's disk token file; a refused path is logged and drops the
    // record. False when refused.
    bool WriteTokenFile();

    std::recursive_mutex m_mutex;
    std::unique_ptr<TokenInfo> m_token;
    std::wstring m_netToken;
};

}  // namespace vesk::tsp
