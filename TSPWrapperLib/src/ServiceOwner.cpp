#include "ServiceOwner.h"

#include <string>
#include <vector>

#include "LibLog.h"
#include "LibState.h"

namespace vesk::tsp {
namespace {

constexpr const wchar_t* kForeignListener = L"Service port refused: it is held by user ";
constexpr const wchar_t* kForeignConnection =
    L"Service reply refused: the connection was taken by user ";
constexpr const wchar_t* kUnknownConnection =
    L"Service reply refused: no socket of this user took the connection";

std::wstring Uid(uid_t uid) {
    return std::to_wstring(static_cast<unsigned long>(uid));
}

std::optional<uid_t> FirstForeign(const std::vector<uid_t>& owners) {
    for (const uid_t owner : owners)
        if (owner != net::ThisUser()) return owner;
    return std::nullopt;
}

}  // namespace

std::optional<uid_t> ForeignServiceListener() {
    const auto foreign = FirstForeign(net::LoopbackListenerOwners(kServicePort));
    if (foreign) LibLogRefusal(kForeignListener + Uid(*foreign));
    return foreign;
}

bool IsOwnServiceConnection(const net::TcpEnd& own, const net::TcpEnd& service) {
    if (const auto owner = net::ConnectionOwner(service, own)) {
        if (*owner == net::ThisUser()) return true;
        LibLogRefusal(kForeignConnection + Uid(*owner));
        return false;
    }
    const std::vector<uid_t> owners = net::LoopbackListenerOwners(kServicePort);
    if (owners.empty()) {
        LibLogRefusal(kUnknownConnection);
        return false;
    }
    const auto foreign = FirstForeign(owners);
    if (foreign) LibLogRefusal(kForeignListener + Uid(*foreign));
    return !foreign;
}

}  // namespace vesk::tsp
