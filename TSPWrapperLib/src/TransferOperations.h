#pragma once
// The transfer operations as the exports run them: start, status, pause, resume and cancel
// are logged around their request.

#include <string>

#include "TransferRequests.h"

namespace vesk::tsp {

Reply<TransferStatus> StartTransfer(const std::wstring& packageUrl, const std::wstring& destDir,
                                    bool setP2P);
Reply<TransferStatus> StatusTransfer(const std::wstring& torrentId);
Reply<TransferStatus> PauseTransfer(const std::wstring& torrentId);
Reply<TransferStatus> ResumeTransfer(const std::wstring& torrentId);
Reply<ServiceStatus> CancelTransfer(const std::wstring& torrentId, bool deleteFiles);

}  // namespace vesk::tsp
