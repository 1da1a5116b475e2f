#pragma once
// The network token the library sends on requests that carry one.

#include <string>

namespace vesk::tsp {

// Empty while the library holds no token. Safe from any thread.
std::wstring CurrentNetToken();

}  // namespace vesk::tsp
