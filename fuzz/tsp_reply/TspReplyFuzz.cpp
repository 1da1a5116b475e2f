// Feeds arbitrary bytes as the service's reply to every method's reader of the transfer
// library: none may crash or leak, whatever arrives on the wire.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ServiceMethods.h"
#include "ServiceReplies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vesk::tsp;
    const std::string body(reinterpret_cast<const char*>(data), size);
    ReadVersionReply(body);
    ReadLoginReply(body);
    ReadTokenReply(body);
    ReadKeyValueReply(body);
    ReadStatusReply(body, element::kKeyResp);
    ReadStatusReply(body, element::kShutdown);
    ReadStatusReply(body, element::kUpgradeResp);
    ReadTransferStatusReply(body);
    ReadTransferStatusOnlyReply(body, element::kCancelStatus);
    ReadTransferStatusOnlyReply(body, element::kOpenStatus);
    ReadTransferStatusOnlyReply(body, element::kUpdate);
    ReadTransferStatusListReply(body);
    ReadTransferFilesReply(body);
    ReadTransferInfoReply(body);
    return 0;
}
