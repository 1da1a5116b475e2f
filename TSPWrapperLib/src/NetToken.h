#pragma once
// The network token the library sends on requests that carry one.

#include <string>

namespace vesk::tsp {

// The token cache's current network token (TokenCache.h). Safe from any thread.
std::wstring CurrentNetToken();

}  // namespace vesk::tsp
