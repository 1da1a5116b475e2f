#pragma once
// One request to the service: its named parameters, their typed form, and the query and
// URL they become. Safe from any thread.

#include <map>
#include <string>
#include <string_view>

namespace vesk::tsp {

// Parameter name to value, compared exactly. Names other than RestRequest's are ignored.
using RestParams = std::map<std::wstring, std::wstring>;

struct RestRequest {
    std::wstring ClientID;
    std::wstring category;
    std::wstring key;
    std::wstring value;
    std::wstring netToken;
    std::wstring packageUrl;
    std::wstring destDir;
    bool setP2P = true;   // "setP2P" exactly "true"
    bool remove = false;  // "delete" exactly "true"
    std::wstring torrentId;
    std::wstring torrentIds;
};

RestRequest MakeRestRequest(const RestParams& params);

// The parameters the method sends, in its order, each as "&name=value". Only packageUrl and
// destDir are percent-encoded; an unknown method sends none.
std::wstring BuildQuery(std::wstring_view method, const RestRequest& request);

// "http://127.0.0.1:60524/rest/METHOD?format=xml" followed by the query.
std::wstring BuildServiceUrl(std::wstring_view method, std::wstring_view query);

}  // namespace vesk::tsp
