#pragma once
// Each service method's reply turned into its record and ServiceResult code (2 no reply,
// 13 no expected element; 3 and 4 from a transfer status's statusId 902 and 905).

#include <string>
#include <vector>

#include "ReplyReader.h"
#include "TSPWrapperLib.h"

namespace vesk::tsp {

// The answer of "getKeyValue".
struct KeyValueReply {
    ServiceStatus status;
    std::wstring value;
};

Reply<VersionInfo> ReadVersionReply(const std::string& body);
Reply<LoginInfo> ReadLoginReply(const std::string& body);
Reply<TokenInfo> ReadTokenReply(const std::string& body);
Reply<KeyValueReply> ReadKeyValueReply(const std::string& body);
// The "status" of a reply that carries nothing else ("KeyResp" of "setKeyValue",
// "Shutdown", "UpgradeResp"); its statusId gives no code.
Reply<ServiceStatus> ReadStatusReply(const std::string& body, const char* element);

Reply<TransferStatus> ReadTransferStatusReply(const std::string& body);
// "CancelStatus", "OpenStatus" or "Update"; statusId 902 and 905 give codes 3 and 4.
Reply<ServiceStatus> ReadTransferStatusOnlyReply(const std::string& body, const char* element);
Reply<std::vector<TransferStatus>> ReadTransferStatusListReply(const std::string& body);
Reply<std::vector<std::wstring>> ReadTransferFilesReply(const std::string& body);
Reply<TransferInfo> ReadTransferInfoReply(const std::string& body);

}  // namespace vesk::tsp
