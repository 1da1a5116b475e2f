#pragma once
// Where the service's installer is fetched from.

#include <string>

namespace vesk::tsp {

// The maker's download server and the fixed path "/tirsa/tsp/TSPInst.exe". Test builds take
// the server from VESK_TSP_DOWNLOAD_SERVER when it is set; a shipped build never does.
std::wstring InstallerUrl();

}  // namespace vesk::tsp
