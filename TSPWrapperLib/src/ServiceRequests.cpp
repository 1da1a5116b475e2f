#include "ServiceRequests.h"

#include "CallService.h"
#include "NetToken.h"
#include "ServiceMethods.h"

namespace vesk::tsp {

Reply<VersionInfo> RequestVersion() {
    return ReadVersionReply(CallService(method::kVersion, {}));
}

Reply<LoginInfo> RequestLoginStatus() {
    return ReadLoginReply(CallService(method::kLoginStatus, {}));
}

Reply<TokenInfo> RequestToken() {
    return ReadTokenReply(CallService(method::kGetToken, {{L"ClientID", L""}}));
}

Reply<TokenInfo> RequestValidateDiskToken(const std::wstring& netToken) {
    return ReadTokenReply(CallService(method::kValidateDiskToken, {{L"netToken", netToken}}));
}

Reply<KeyValueReply> RequestKeyValue(const std::wstring& category, const std::wstring& key) {
    const RestParams params{
        {L"category", category}, {L"key", key}, {L"netToken", CurrentNetToken()}};
    return ReadKeyValueReply(CallService(method::kGetKeyValue, params));
}

Reply<ServiceStatus> RequestSetKeyValue(const std::wstring& category, const std::wstring& key,
                                        const std::wstring& value) {
    const RestParams params{{L"category", category},
                            {L"key", key},
                            {L"value", value},
                            {L"netToken", CurrentNetToken()}};
    return ReadStatusReply(CallService(method::kSetKeyValue, params), element::kKeyResp);
}

Reply<ServiceStatus> RequestShutdown() {
    return ReadStatusReply(CallService(method::kShutdown, {{L"netToken", CurrentNetToken()}}),
                           element::kShutdown);
}

Reply<ServiceStatus> RequestUpgrade() {
    return ReadStatusReply(CallService(method::kUpgrade, {{L"netToken", CurrentNetToken()}}),
                           element::kUpgradeResp);
}

}  // namespace vesk::tsp
