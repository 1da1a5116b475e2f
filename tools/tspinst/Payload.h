#pragma once
// The service program the installer carries, linked into the installer itself.

#include <string_view>

namespace vesk::tsp_installer {

std::string_view ServicePayload();

}  // namespace vesk::tsp_installer
