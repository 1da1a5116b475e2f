#pragma once
// The library's process-wide settings: the stored service port and the minimum service
// version. Safe from any thread.

#include <string>

namespace vesk::tsp {

// The port every request goes to, whatever port value is stored.
inline constexpr int kServicePort = 60524;

int StoredServicePort();
void StoreServicePort(int port);

std::wstring MinimumRequiredVersion();
void StoreMinimumRequiredVersion(const std::wstring& version);

}  // namespace vesk::tsp
