#include "TransferRequests.h"

#include "CallService.h"
#include "NetToken.h"
#include "ServiceMethods.h"

namespace vesk::tsp {
namespace {

const wchar_t* Flag(bool on) {
    return on ? L"true" : L"false";
}

RestParams ForTransfer(const std::wstring& torrentId) {
    return {{L"torrentId", torrentId}};
}

}  // namespace

Reply<TransferStatus> RequestStartTransfer(const std::wstring& packageUrl,
                                           const std::wstring& destDir, bool setP2P) {
    RestParams params{{L"packageUrl", packageUrl}, {L"setP2P", Flag(setP2P)}};
    if (!destDir.empty()) {
        params[L"destDir"] = destDir;
        params[L"netToken"] = CurrentNetToken();
    }
    return ReadTransferStatusReply(CallService(method::kTransferStart, params));
}

Reply<TransferStatus> RequestTransferStatus(const std::wstring& torrentId) {
    return ReadTransferStatusReply(CallService(method::kTransferStatus, ForTransfer(torrentId)));
}

Reply<std::vector<TransferStatus>> RequestTransferStatusList(const std::wstring& torrentIds) {
    return ReadTransferStatusListReply(
        CallService(method::kTransferStatusList, {{L"torrentIds", torrentIds}}));
}

Reply<std::vector<std::wstring>> RequestTransferFiles(const std::wstring& torrentId) {
    return ReadTransferFilesReply(CallService(method::kTransferFiles, ForTransfer(torrentId)));
}

Reply<TransferInfo> RequestTransferInfo(const std::wstring& torrentId) {
    return ReadTransferInfoReply(CallService(method::kTransferInfo, ForTransfer(torrentId)));
}

Reply<TransferStatus> RequestPauseTransfer(const std::wstring& torrentId) {
    return ReadTransferStatusReply(CallService(method::kTransferPause, ForTransfer(torrentId)));
}

Reply<TransferStatus> RequestResumeTransfer(const std::wstring& torrentId) {
    return ReadTransferStatusReply(CallService(method::kTransferResume, ForTransfer(torrentId)));
}

Reply<ServiceStatus> RequestCancelTransfer(const std::wstring& torrentId, bool deleteFiles) {
    RestParams params = ForTransfer(torrentId);
    if (deleteFiles) {
        params[L"delete"] = L"true";
        params[L"netToken"] = CurrentNetToken();
    }
    return ReadTransferStatusOnlyReply(CallService(method::kTransferCancel, params),
                                       element::kCancelStatus);
}

Reply<ServiceStatus> RequestOpenTransfer(const std::wstring& torrentId, bool sendToken) {
    RestParams params = ForTransfer(torrentId);
    if (sendToken) params[L"netToken"] = CurrentNetToken();
    return ReadTransferStatusOnlyReply(CallService(method::kTransferOpen, params),
                                       element::kOpenStatus);
}

Reply<ServiceStatus> RequestUpdateTransfer(const std::wstring& torrentId, bool setP2P) {
    RestParams params = ForTransfer(torrentId);
    params[L"setP2P"] = Flag(setP2P);
    return ReadTransferStatusOnlyReply(CallService(method::kTransferUpdate, params),
                                       element::kUpdate);
}

Reply<ServiceStatus> RequestUpdateTransferList(const std::wstring& torrentIds, bool setP2P) {
    const RestParams params{{L"torrentIds", torrentIds}, {L"setP2P", Flag(setP2P)}};
    return ReadTransferStatusOnlyReply(CallService(method::kTransferUpdateList, params),
                                       element::kUpdate);
}

}  // namespace vesk::tsp
