#include "SwarmSettings.h"

#include <libtorrent/alert.hpp>

namespace vesk::tsp_service {

lt::settings_pack SwarmSettingsPack(const std::string& peerInterface,
                                    const SwarmLimitValues& limits) {
    using lt::settings_pack;
    settings_pack pack;
    const bool v6 = peerInterface.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + peerInterface + "]" : peerInterface;
    pack.set_str(settings_pack::listen_interfaces, host + ":" + std::to_string(limits.peerPort));
    pack.set_str(settings_pack::user_agent, "TSP/2.3");
    // Peers are found through the package's tracker and the web seed only: nothing is
    // announced to the local network or opened on the router.
    pack.set_bool(settings_pack::enable_dht, false);
    pack.set_bool(settings_pack::enable_lsd, false);
    pack.set_bool(settings_pack::enable_upnp, false);
    pack.set_bool(settings_pack::enable_natpmp, false);
    // Players behind one address (and the tests' services on loopback) still reach each other.
    pack.set_bool(settings_pack::allow_multiple_connections_per_ip, true);
    // Encrypted wherever the other side accepts it, plain only when it does not.
    pack.set_int(settings_pack::out_enc_policy, settings_pack::pe_enabled);
    pack.set_int(settings_pack::in_enc_policy, settings_pack::pe_enabled);
    pack.set_int(settings_pack::allowed_enc_level, settings_pack::pe_both);
    pack.set_bool(settings_pack::prefer_rc4, true);
    // The server is the swarm's backbone: back to it soon after it closed a connection, as
    // servers that answer one request a connection do.
    pack.set_int(settings_pack::urlseed_wait_retry, 2);
    // Small requests to the server, each for what the swarm lacks most: long spans would have
    // every player fetch the same bytes from it that peers could give them.
    pack.set_int(settings_pack::urlseed_max_request_bytes, 256 * 1024);
    pack.set_int(settings_pack::urlseed_pipeline_size, 1);
    pack.set_int(settings_pack::upload_rate_limit, static_cast<int>(limits.uploadRateLimit));
    // Finished packages keep seeding however many there are; the cache's limits decide.
    pack.set_int(settings_pack::active_seeds, -1);
    pack.set_int(settings_pack::active_limit, -1);
    pack.set_int(settings_pack::active_downloads, -1);
    pack.set_int(settings_pack::alert_mask,
                 static_cast<int>(static_cast<std::uint32_t>(
                     lt::alert_category::status | lt::alert_category::error |
                     lt::alert_category::storage | lt::alert_category::block_progress)));
    return pack;
}

}  // namespace vesk::tsp_service
