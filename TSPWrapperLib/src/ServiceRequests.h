#pragma once
// One request for each service-wide method: version, login, tokens, key/value store,
// shut-down and upgrade. Each returns its record (or none) and the request's code.

#include <string>

#include "ServiceReplies.h"

namespace vesk::tsp {

inline constexpr const wchar_t* kLoggedIn = L"LoggedIn";

Reply<VersionInfo> RequestVersion();
Reply<LoginInfo> RequestLoginStatus();
Reply<TokenInfo> RequestToken();
Reply<TokenInfo> RequestValidateDiskToken(const std::wstring& netToken);
Reply<KeyValueReply> RequestKeyValue(const std::wstring& category, const std::wstring& key);
Reply<ServiceStatus> RequestSetKeyValue(const std::wstring& category, const std::wstring& key,
                                        const std::wstring& value);
Reply<ServiceStatus> RequestShutdown();
Reply<ServiceStatus> RequestUpgrade();

}  // namespace vesk::tsp
