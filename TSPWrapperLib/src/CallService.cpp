#include "CallService.h"

#include "HttpGet.h"
#include "LibLog.h"
#include "ServiceOwner.h"

namespace vesk::tsp {

std::string CallService(std::wstring_view method, const RestParams& params) {
    const std::wstring query = BuildQuery(method, MakeRestRequest(params));
    LibLog(method);
    const std::wstring url = BuildServiceUrl(method, query);
    LibLog(url);
    return HttpGet(url, kHttpLimits, kMaxServiceReply, &IsOwnServiceConnection);
}

}  // namespace vesk::tsp
