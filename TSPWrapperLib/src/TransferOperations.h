#pragma once
// The eleven transfer operations as the exports run them: each request under the retry
// policy of TransferRecovery.h; start, status, pause, resume and cancel are also logged
// around the whole call.

#include <string>
#include <vector>

#include "TransferRequests.h"

namespace vesk::tsp {

Reply<TransferStatus> StartTransfer(const std::wstring& packageUrl, const std::wstring& destDir,
                                    bool setP2P);
Reply<TransferStatus> StatusTransfer(const std::wstring& torrentId);
Reply<std::vector<TransferStatus>> StatusListTransfer(const std::wstring& torrentIds);
Reply<std::vector<std::wstring>> FilesTransfer(const std::wstring& torrentId);
Reply<TransferInfo> InfoTransfer(const std::wstring& torrentId);
Reply<TransferStatus> PauseTransfer(const std::wstring& torrentId);
Reply<TransferStatus> ResumeTransfer(const std::wstring& torrentId);
Reply<ServiceStatus> CancelTransfer(const std::wstring& torrentId, bool deleteFiles);
Reply<ServiceStatus> OpenTransfer(const std::wstring& torrentId, bool sendToken);
Reply<ServiceStatus> UpdateTransfer(const std::wstring& torrentId, bool setP2P);
Reply<ServiceStatus> UpdateListTransfer(const std::wstring& torrentIds, bool setP2P);

}  // namespace vesk::tsp
