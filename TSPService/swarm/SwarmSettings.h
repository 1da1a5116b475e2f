#pragma once
// Every choice the service makes of the engine's settings, in one place.

#include <libtorrent/settings_pack.hpp>

#include <string>

#include "SwarmLimits.h"

namespace vesk::tsp_service {

lt::settings_pack SwarmSettingsPack(const std::string& peerInterface,
                                    const SwarmLimitValues& limits);

}  // namespace vesk::tsp_service
