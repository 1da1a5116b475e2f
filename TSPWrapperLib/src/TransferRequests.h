#pragma once
// One attempt of each transfer operation: the request and its reply, with the code of that
// attempt (2, 13, or 3 and 4 from statusId 902 and 905).

#include <string>
#include <vector>

#include "ServiceReplies.h"

namespace vesk::tsp {

Reply<TransferStatus> RequestStartTransfer(const std::wstring& packageUrl,
                                           const std::wstring& destDir, bool setP2P);
Reply<TransferStatus> RequestTransferStatus(const std::wstring& torrentId);
Reply<std::vector<TransferStatus>> RequestTransferStatusList(const std::wstring& torrentIds);
Reply<std::vector<std::wstring>> RequestTransferFiles(const std::wstring& torrentId);
Reply<TransferInfo> RequestTransferInfo(const std::wstring& torrentId);
Reply<TransferStatus> RequestPauseTransfer(const std::wstring& torrentId);
Reply<TransferStatus> RequestResumeTransfer(const std::wstring& torrentId);
Reply<ServiceStatus> RequestCancelTransfer(const std::wstring& torrentId, bool deleteFiles);
Reply<ServiceStatus> RequestOpenTransfer(const std::wstring& torrentId, bool sendToken);
Reply<ServiceStatus> RequestUpdateTransfer(const std::wstring& torrentId, bool setP2P);
Reply<ServiceStatus> RequestUpdateTransferList(const std::wstring& torrentIds, bool setP2P);

}  // namespace vesk::tsp
