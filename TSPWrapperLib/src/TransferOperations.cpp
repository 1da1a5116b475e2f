#include "TransferOperations.h"

#include "LibLog.h"
#include "TransferRecovery.h"

namespace vesk::tsp {
namespace {

template <class Request>
auto Logged(std::wstring_view name, Request request) {
    LibLog(std::wstring(name) + L" Begin");
    auto reply = WithRecovery(request);
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

Reply<std::vector<TransferStatus>> StatusListTransfer(const std::wstring& torrentIds) {
    return WithRecovery([&] { return RequestTransferStatusList(torrentIds); });
}

Reply<std::vector<std::wstring>> FilesTransfer(const std::wstring& torrentId) {
    return WithRecovery([&] { return RequestTransferFiles(torrentId); });
}

Reply<TransferInfo> InfoTransfer(const std::wstring& torrentId) {
    return WithRecovery([&] { return RequestTransferInfo(torrentId); });
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

Reply<ServiceStatus> OpenTransfer(const std::wstring& torrentId, bool sendToken) {
    return WithRecovery([&] { return RequestOpenTransfer(torrentId, sendToken); });
}

Reply<ServiceStatus> UpdateTransfer(const std::wstring& torrentId, bool setP2P) {
    return WithRecovery([&] { return RequestUpdateTransfer(torrentId, setP2P); });
}

Reply<ServiceStatus> UpdateListTransfer(const std::wstring& torrentIds, bool setP2P) {
    return WithRecovery([&] { return RequestUpdateTransferList(torrentIds, setP2P); });
}

}  // namespace vesk::tsp
