#pragma once
// The one way the library talks to the service: a GET of /rest/METHOD on 127.0.0.1:60524.

#include <string>
#include <string_view>

#include "RestRequest.h"

namespace vesk::tsp {

// The reply body; empty when no reply arrived, when it was longer than any reply of the
// service, or when the port's listener belongs to another user. Safe from any thread.
std::string CallService(std::wstring_view method, const RestParams& params);

}  // namespace vesk::tsp
