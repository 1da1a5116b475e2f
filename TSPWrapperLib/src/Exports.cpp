// The exported interface: each export only translates to the library's own calls and
// guards the boundary, turning anything thrown into its documented failure value.

#include "TSPWrapperLib.h"

#include "LibState.h"
#include "ServiceLifecycle.h"
#include "ServiceRegistration.h"
#include "ServiceRequests.h"
#include "TextCopy.h"
#include "TransferOperations.h"

using namespace vesk::tsp;

namespace {

void SetResult(int* result, int code) {
    if (result) *result = code;
}

// A request with a result code: the record goes to the caller, the code to *result.
template <class Request>
auto WithResult(int* result, Request request) -> decltype(request().record.release()) {
    try {
        auto reply = request();
        SetResult(result, reply.code);
        return reply.record.release();
    } catch (...) {
        SetResult(result, kServiceNoReply);
        return nullptr;
    }
}

// A query without a result code: the record, or null.
template <class Request>
auto RecordOf(Request request) -> decltype(request().record.release()) {
    return WithResult(nullptr, request);
}

template <class Value, class Get>
Value Guarded(Value failure, Get get) {
    try {
        return get();
    } catch (...) {
        return failure;
    }
}

// The size of the buffers a caller hands to TSP_Lib_CheckIsTSPPresent.
constexpr std::size_t kRegistryTextCapacity = 1024;

// A start-up step: its success, and its code in *result.
template <class Step>
bool Started(int* result, Step step) {
    try {
        const StartResult started = step();
        SetResult(result, started.code);
        return started.ok;
    } catch (...) {
        SetResult(result, kServiceNoReply);
        return false;
    }
}

}  // namespace

TSP_LIB_API bool TSP_Lib_CheckIsTSPPresent(wchar_t** version, wchar_t** folder) {
    return Guarded(false, [&] {
        const ServiceRegistration registration = ReadServiceRegistration();
        if (version && !registration.version.empty())
            CopyCut(*version, kRegistryTextCapacity, registration.version);
        if (folder && !registration.folder.empty())
            CopyCut(*folder, kRegistryTextCapacity, registration.folder);
        return registration.present;
    });
}

TSP_LIB_API bool TSP_Lib_InstallTSP(const std::wstring& partner) {
    return Guarded(false, [&] { return InstallService(partner); });
}

TSP_LIB_API bool TSP_Lib_LaunchTSPApplication(const std::wstring& folder) {
    return Guarded(false, [&] { return LaunchService(folder); });
}

TSP_LIB_API bool TSP_Lib_StartTSP(int* result, const std::wstring& partner) {
    return Started(result, [&] { return StartService(partner); });
}

TSP_LIB_API bool TSP_Lib_CheckAndReStartTSP(int* result) {
    return Started(result, [] { return RestartService(); });
}

TSP_LIB_API bool TSP_Lib_CheckTSPIsLoggedIn() {
    return Guarded(false, [] { return IsLoggedIn(); });
}

TSP_LIB_API LoginInfo* TSP_Lib_LoginStatus() {
    return RecordOf([] { return RequestLoginStatus(); });
}

TSP_LIB_API VersionInfo* TSP_Lib_Version() {
    return RecordOf([] { return RequestVersion(); });
}

TSP_LIB_API void TSP_Lib_SetMinimumRequiredVersion(const std::wstring& version) {
    Guarded(false, [&] {
        StoreMinimumRequiredVersion(version);
        return true;
    });
}

TSP_LIB_API std::wstring TSP_Lib_GetMinimumRequiredVersion() {
    return Guarded(std::wstring(), [] { return MinimumRequiredVersion(); });
}

TSP_LIB_API void TSP_Lib_SetTSPPort(int port) {
    StoreServicePort(port);
}

TSP_LIB_API int TSP_Lib_GetTSPPort() {
    return StoredServicePort();
}

// The plain twins of the port exports are the same entry points.
TSP_LIB_API void TSP_LibC_SetTSPPort(int port) __attribute__((alias("TSP_Lib_SetTSPPort")));
TSP_LIB_API int TSP_LibC_GetTSPPort() __attribute__((alias("TSP_Lib_GetTSPPort")));

TSP_LIB_API TokenInfo* TSP_Lib_GetToken() {
    return RecordOf([] { return RequestToken(); });
}

TSP_LIB_API TokenInfo* TSP_Lib_ValidateDiskToken(const std::wstring& netToken) {
    return RecordOf([&] { return RequestValidateDiskToken(netToken); });
}

TSP_LIB_API std::wstring TSP_Lib_GetKeyValue(const std::wstring& category,
                                             const std::wstring& key) {
    return Guarded(std::wstring(), [&] {
        const auto reply = RequestKeyValue(category, key);
        return reply.record ? reply.record->value : std::wstring();
    });
}

TSP_LIB_API ServiceStatus* TSP_Lib_SetKeyValue(const std::wstring& category,
                                               const std::wstring& key, const std::wstring& value) {
    return RecordOf([&] { return RequestSetKeyValue(category, key, value); });
}

TSP_LIB_API ServiceStatus* TSP_Lib_ShutDown() {
    return RecordOf([] { return RequestShutdown(); });
}

TSP_LIB_API ServiceStatus* TSP_Lib_Upgrade() {
    return RecordOf([] { return RequestUpgrade(); });
}

TSP_LIB_API TransferStatus* TSP_Lib_StartTransfer(int* result, const std::wstring& packageUrl,
                                                  const std::wstring& destDir, bool setP2P) {
    return WithResult(result, [&] { return StartTransfer(packageUrl, destDir, setP2P); });
}

TSP_LIB_API TransferStatus* TSP_Lib_StatusTransfer(int* result, const std::wstring& torrentId) {
    return WithResult(result, [&] { return StatusTransfer(torrentId); });
}

TSP_LIB_API std::vector<TransferStatus>* TSP_Lib_StatusListTransfer(
    int* result, const std::wstring& torrentIds) {
    return WithResult(result, [&] { return StatusListTransfer(torrentIds); });
}

TSP_LIB_API std::vector<std::wstring>* TSP_Lib_FilesTransfer(int* result,
                                                             const std::wstring& torrentId) {
    return WithResult(result, [&] { return FilesTransfer(torrentId); });
}

TSP_LIB_API TransferInfo* TSP_Lib_InfoTransfer(int* result, const std::wstring& torrentId) {
    return WithResult(result, [&] { return InfoTransfer(torrentId); });
}

TSP_LIB_API TransferStatus* TSP_Lib_PauseTransfer(int* result, const std::wstring& torrentId) {
    return WithResult(result, [&] { return PauseTransfer(torrentId); });
}

TSP_LIB_API TransferStatus* TSP_Lib_ResumeTransfer(int* result, const std::wstring& torrentId) {
    return WithResult(result, [&] { return ResumeTransfer(torrentId); });
}

TSP_LIB_API ServiceStatus* TSP_Lib_CancelTransfer(int* result, const std::wstring& torrentId,
                                                  bool deleteFiles) {
    return WithResult(result, [&] { return CancelTransfer(torrentId, deleteFiles); });
}

TSP_LIB_API ServiceStatus* TSP_Lib_OpenTransfer(int* result, const std::wstring& torrentId,
                                                bool sendToken) {
    return WithResult(result, [&] { return OpenTransfer(torrentId, sendToken); });
}

TSP_LIB_API ServiceStatus* TSP_Lib_UpdateTransfer(int* result, const std::wstring& torrentId,
                                                  bool setP2P) {
    return WithResult(result, [&] { return UpdateTransfer(torrentId, setP2P); });
}

TSP_LIB_API ServiceStatus* TSP_Lib_UpdateListTransfer(int* result, const std::wstring& torrentIds,
                                                      bool setP2P) {
    return WithResult(result, [&] { return UpdateListTransfer(torrentIds, setP2P); });
}
