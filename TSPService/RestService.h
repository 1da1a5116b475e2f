#pragma once
// The service's answers to its REST methods: login, tokens, a key/value store (with the
// swarm's limits and counters under its own category) and the transfers. Safe from any
// thread.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "LoginState.h"
#include "ServiceOptions.h"
#include "TokenStore.h"
#include "Transfers.h"
#include "XmlReply.h"
#include "swarm/Swarm.h"
#include "swarm/SwarmLimits.h"

namespace vesk::tsp_service {

using Query = std::map<std::string, std::string>;

// Status ids of the service's answers beside a transfer's own.
inline constexpr int kStatusOk = 200;
inline constexpr int kStatusBadRequest = 400;
inline constexpr int kStatusNotFound = 404;
inline constexpr int kStatusRenewToken = 902;
inline constexpr int kStatusNotLoggedIn = 905;

class RestService {
public:
    RestService(const ServiceOptions& options, std::function<void()> onShutdown);

    // The reply to one request; nullopt for a method the service does not know.
    std::optional<ServiceReply> Answer(const std::string& method, const Query& query);
    // The top-level element of the method's reply; empty for an unknown method.
    static std::string ElementFor(const std::string& method);
    void StopTransfers() { m_transfers.StopAll(); }

private:
    ServiceReply AnswerService(const std::string& method, const Query& query);
    ServiceReply AnswerKeyValue(const std::string& method, const Query& query);
    ServiceReply AnswerSwarmValue(const std::string& method, const Query& query);
    ServiceReply AnswerTransfer(const std::string& method, const Query& query);
    ServiceReply StartTransfer(const Query& query);
    ServiceReply TransferReply(const std::string& torrentId,
                               const std::optional<TransferView>& view);
    ServiceReply ListReply(const Query& query);
    ServiceReply InfoReply(const std::optional<TransferView>& view);

    const ServiceOptions m_options;
    const std::function<void()> m_onShutdown;
    LoginState m_login;
    TokenStore m_tokens;
    SwarmLimits m_limits;
    ByteCounters m_counters;
    Swarm m_swarm;
    Transfers m_transfers;
    std::mutex m_valuesMutex;
    std::map<std::string, std::string> m_values;
};

}  // namespace vesk::tsp_service
