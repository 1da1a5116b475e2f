#include "TransferOperations.h"

#include "LibLog.h"

namespace vesk::tsp {
namespace {

template <class Request>
auto Logged(std::wstring_view name, Request request) {
    LibLog(std::wstring(name) + L" Begin");
    auto reply = request();
    LibLog(std::wstring(name) + L" End");
    return reply;
}

}  // namespace

Reply<TransferStatus> StartTransfer(const std::wstring& packageUrl, const std::wstring& destDir,
                                    bool setP2P) {
    return Logged(L"StartTransfer",
                  [&] { return RequestStartTransfer(packageUrl, destDir, setP2P); });
}

Reply<TransferStatus> StatusTransfer(const std::wstring& torrentId) {
    return Logged(L"StatusTransfer", [&] { return RequestTransferStatus(torrentId); });
}

Reply<TransferStatus> PauseTransfer(const std::wstring& torrentId) {
    return Logged(L"PauseTransfer", [&] { return RequestPauseTransfer(torrentId); });
}

Reply<TransferStatus> ResumeTransfer(const std::wstring& torrentId) {
    return Logged(L"ResumeTransfer", [&] { return RequestResumeTransfer(torrentId); });
}

Reply<ServiceStatus> CancelTransfer(const std::wstring& torrentId, bool deleteFiles) {
    return Logged(L"CancelTransfer", [&] { return RequestCancelTransfer(torrentId, deleteFiles); });
}

}  // namespace vesk::tsp
