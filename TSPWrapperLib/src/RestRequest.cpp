#include "RestRequest.h"

#include "LibState.h"
#include "PercentEncode.h"
#include "ServiceMethods.h"

namespace vesk::tsp {
namespace {

class Query {
public:
    void Add(std::wstring_view name, std::wstring_view value) {
        m_text += L'&';
        m_text += name;
        m_text += L'=';
        m_text += value;
    }
    void AddSwitch(std::wstring_view name, bool on) { Add(name, on ? L"on" : L"off"); }
    std::wstring Take() { return std::move(m_text); }

private:
    std::wstring m_text;
};

std::wstring Lookup(const RestParams& params, const wchar_t* name) {
    const auto it = params.find(name);
    return it == params.end() ? std::wstring() : it->second;
}

// Methods of the service as a whole; false when the method is not one of them.
bool AddServiceParams(std::wstring_view method, const RestRequest& r, Query& q) {
    using namespace method;
    if (method == kVersion || method == kLoginStatus) return true;
    if (method == kGetToken) {
        q.Add(L"ClientID", r.ClientID);
    } else if (method == kGetKeyValue || method == kSetKeyValue) {
        q.Add(L"category", r.category);
        q.Add(L"key", r.key);
        if (method == kSetKeyValue) q.Add(L"value", r.value);
        q.Add(L"netToken", r.netToken);
    } else if (method == kValidateDiskToken || method == kShutdown || method == kUpgrade) {
        q.Add(L"netToken", r.netToken);
    } else {
        return false;
    }
    return true;
}

void AddTransferStart(const RestRequest& r, Query& q) {
    q.Add(L"packageUrl", PercentEncode(r.packageUrl));
    if (!r.destDir.empty()) {
        q.Add(L"destDir", PercentEncode(r.destDir));
        q.Add(L"netToken", r.netToken);
    }
    q.AddSwitch(L"setP2P", r.setP2P);
}

void AddTransferParams(std::wstring_view method, const RestRequest& r, Query& q) {
    using namespace method;
    if (method == kTransferStart) {
        AddTransferStart(r, q);
    } else if (method == kTransferStatusList) {
        q.Add(L"torrentIds", r.torrentIds);
    } else if (method == kTransferUpdateList) {
        q.Add(L"torrentIds", r.torrentIds);
        q.AddSwitch(L"setP2P", r.setP2P);
    } else if (method == kTransferCancel) {
        q.Add(L"torrentId", r.torrentId);
        if (r.remove) {
            q.Add(L"delete", L"1");
            q.Add(L"netToken", r.netToken);
        }
    } else if (method == kTransferOpen) {
        q.Add(L"torrentId", r.torrentId);
        if (!r.netToken.empty()) q.Add(L"netToken", r.netToken);
    } else if (method == kTransferUpdate) {
        q.Add(L"torrentId", r.torrentId);
        q.AddSwitch(L"setP2P", r.setP2P);
    } else if (method == kTransferStatus || method == kTransferFiles || method == kTransferInfo ||
               method == kTransferPause || method == kTransferResume) {
        q.Add(L"torrentId", r.torrentId);
    }
}

}  // namespace

RestRequest MakeRestRequest(const RestParams& params) {
    RestRequest r;
    r.ClientID = Lookup(params, L"ClientID");
    r.category = Lookup(params, L"category");
    r.key = Lookup(params, L"key");
    r.value = Lookup(params, L"value");
    r.netToken = Lookup(params, L"netToken");
    r.packageUrl = Lookup(params, L"packageUrl");
    r.destDir = Lookup(params, L"destDir");
    if (params.contains(L"setP2P")) r.setP2P = Lookup(params, L"setP2P") == L"true";
    r.remove = Lookup(params, L"delete") == L"true";
    r.torrentId = Lookup(params, L"torrentId");
    r.torrentIds = Lookup(params, L"torrentIds");
    return r;
}

std::wstring BuildQuery(std::wstring_view method, const RestRequest& request) {
    Query query;
    if (!AddServiceParams(method, request, query)) AddTransferParams(method, request, query);
    return query.Take();
}

std::wstring BuildServiceUrl(std::wstring_view method, std::wstring_view query) {
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(kServicePort) + L"/rest/";
    url += method;
    url += L"?format=xml";
    url += query;
    return url;
}

}  // namespace vesk::tsp
