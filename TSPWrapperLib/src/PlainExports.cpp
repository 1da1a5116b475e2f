// The plain exported interface: each export turns its arguments into the typed ones, calls
// its typed twin, and copies the record into its own static area. Nothing thrown passes.

#include <initializer_list>
#include <memory>
#include <string>

#include "PlainRecords.h"
#include "TSPWrapperLib.h"
#include "TextCopy.h"

using namespace vesk::tsp;

namespace {

// One area per export, zero at load.
ServiceStatusC g_setKeyValue, g_shutDown, g_upgrade, g_cancel, g_open, g_update, g_updateList;
TransferStatusC g_start, g_status, g_pause, g_resume;
TransferStatusListC g_statusList;
TransferInfoC g_info;
VersionInfoC g_version;
TokenInfoC g_getToken, g_validateToken;
LoginInfoC g_login;
wchar_t g_minimumVersion[kPlainTextLength];
wchar_t g_keyValue[kPlainTextLength];

bool Given(std::initializer_list<const wchar_t*> texts) {
    for (const wchar_t* text : texts) {
        if (!text) return false;
    }
    return true;
}

// A null text never reaches the service: the caller hears of it as a failed call.
template <class Plain>
Plain* Refused(int* result) {
    if (result) *result = kServiceNoReply;
    return nullptr;
}

// The typed record (owned from here on) copied into the area; null leaves the area alone.
template <class Plain, class Typed>
Plain* Deliver(Plain& area, Typed* record) {
    const std::unique_ptr<Typed> owned(record);
    if (!owned) return nullptr;
    CopyPlain(*owned, area);
    return &area;
}

template <class Plain, class Call>
Plain* Guarded(int* result, Call call) {
    try {
        return call();
    } catch (...) {
        return Refused<Plain>(result);
    }
}

template <class Call>
int GuardedFlag(Call call) {
    try {
        return call() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

TSP_LIB_API int TSP_LibC_CheckIsTSPPresent(wchar_t** version, wchar_t** folder) {
    return GuardedFlag([&] { return TSP_Lib_CheckIsTSPPresent(version, folder); });
}

TSP_LIB_API int TSP_LibC_InstallTSP(const wchar_t* partner) {
    return GuardedFlag([&] { return Given({partner}) && TSP_Lib_InstallTSP(partner); });
}

TSP_LIB_API int TSP_LibC_LaunchTSPApplication(const wchar_t* folder) {
    return GuardedFlag([&] { return Given({folder}) && TSP_Lib_LaunchTSPApplication(folder); });
}

TSP_LIB_API int TSP_LibC_CheckTSPIsLoggedIn() {
    return GuardedFlag([] { return TSP_Lib_CheckTSPIsLoggedIn(); });
}

TSP_LIB_API int TSP_LibC_StartTSP(int* result, const wchar_t* partner) {
    if (!Given({partner})) {
        Refused<int>(result);
        return 0;
    }
    return GuardedFlag([&] { return TSP_Lib_StartTSP(result, partner); });
}

TSP_LIB_API int TSP_LibC_CheckAndReStartTSP(int* result) {
    return GuardedFlag([&] { return TSP_Lib_CheckAndReStartTSP(result); });
}

TSP_LIB_API void TSP_LibC_SetMinimumRequiredVersion(const wchar_t* version) {
    if (!Given({version})) return;
    try {
        TSP_Lib_SetMinimumRequiredVersion(version);  // the text is copied before the call
    } catch (...) {
    }
}

TSP_LIB_API const wchar_t* TSP_LibC_GetMinimumRequiredVersion() {
    CopyCut(g_minimumVersion, TSP_Lib_GetMinimumRequiredVersion());
    return g_minimumVersion;
}

TSP_LIB_API VersionInfoC* TSP_LibC_Version() {
    return Guarded<VersionInfoC>(nullptr, [] { return Deliver(g_version, TSP_Lib_Version()); });
}

TSP_LIB_API const wchar_t* TSP_LibC_GetKeyValue(const wchar_t* category, const wchar_t* key) {
    try {
        CopyCut(g_keyValue, Given({category, key}) ? TSP_Lib_GetKeyValue(category, key) : L"");
    } catch (...) {
        CopyCut(g_keyValue, L"");
    }
    return g_keyValue;
}

TSP_LIB_API ServiceStatusC* TSP_LibC_SetKeyValue(const wchar_t* category, const wchar_t* key,
                                                 const wchar_t* value) {
    if (!Given({category, key, value})) return nullptr;
    return Guarded<ServiceStatusC>(
        nullptr, [&] { return Deliver(g_setKeyValue, TSP_Lib_SetKeyValue(category, key, value)); });
}

TSP_LIB_API TokenInfoC* TSP_LibC_GetToken(const wchar_t*) {
    return Guarded<TokenInfoC>(nullptr, [] { return Deliver(g_getToken, TSP_Lib_GetToken()); });
}

TSP_LIB_API TokenInfoC* TSP_LibC_ValidateDiskToken(const wchar_t* netToken) {
    if (!Given({netToken})) return nullptr;
    return Guarded<TokenInfoC>(
        nullptr, [&] { return Deliver(g_validateToken, TSP_Lib_ValidateDiskToken(netToken)); });
}

TSP_LIB_API LoginInfoC* TSP_LibC_LoginStatus() {
    return Guarded<LoginInfoC>(nullptr, [] { return Deliver(g_login, TSP_Lib_LoginStatus()); });
}

TSP_LIB_API ServiceStatusC* TSP_LibC_ShutDown() {
    return Guarded<ServiceStatusC>(nullptr, [] { return Deliver(g_shutDown, TSP_Lib_ShutDown()); });
}

TSP_LIB_API ServiceStatusC* TSP_LibC_Upgrade() {
    return Guarded<ServiceStatusC>(nullptr, [] { return Deliver(g_upgrade, TSP_Lib_Upgrade()); });
}

TSP_LIB_API TransferStatusC* TSP_LibC_StartTransfer(int* result, const wchar_t* packageUrl,
                                                    const wchar_t* destDir, int setP2P) {
    if (!Given({packageUrl, destDir})) return Refused<TransferStatusC>(result);
    return Guarded<TransferStatusC>(result, [&] {
        return Deliver(g_start, TSP_Lib_StartTransfer(result, packageUrl, destDir, setP2P != 0));
    });
}

TSP_LIB_API TransferStatusC* TSP_LibC_StatusTransfer(int* result, const wchar_t* torrentId) {
    if (!Given({torrentId})) return Refused<TransferStatusC>(result);
    return Guarded<TransferStatusC>(
        result, [&] { return Deliver(g_status, TSP_Lib_StatusTransfer(result, torrentId)); });
}

TSP_LIB_API TransferStatusListC* TSP_LibC_StatusListTransfer(int* result,
                                                             const wchar_t* torrentIds) {
    if (!Given({torrentIds})) return Refused<TransferStatusListC>(result);
    return Guarded<TransferStatusListC>(result, [&] {
        return Deliver(g_statusList, TSP_Lib_StatusListTransfer(result, torrentIds));
    });
}

TSP_LIB_API TransferInfoC* TSP_LibC_InfoTransfer(int* result, const wchar_t* torrentId) {
    if (!Given({torrentId})) return Refused<TransferInfoC>(result);
    return Guarded<TransferInfoC>(
        result, [&] { return Deliver(g_info, TSP_Lib_InfoTransfer(result, torrentId)); });
}

TSP_LIB_API TransferStatusC* TSP_LibC_PauseTransfer(int* result, const wchar_t* torrentId) {
    if (!Given({torrentId})) return Refused<TransferStatusC>(result);
    return Guarded<TransferStatusC>(
        result, [&] { return Deliver(g_pause, TSP_Lib_PauseTransfer(result, torrentId)); });
}

TSP_LIB_API TransferStatusC* TSP_LibC_ResumeTransfer(int* result, const wchar_t* torrentId) {
    if (!Given({torrentId})) return Refused<TransferStatusC>(result);
    return Guarded<TransferStatusC>(
        result, [&] { return Deliver(g_resume, TSP_Lib_ResumeTransfer(result, torrentId)); });
}

TSP_LIB_API ServiceStatusC* TSP_LibC_CancelTransfer(int* result, const wchar_t* torrentId,
                                                    int deleteFiles) {
    if (!Given({torrentId})) return Refused<ServiceStatusC>(result);
    return Guarded<ServiceStatusC>(result, [&] {
        return Deliver(g_cancel, TSP_Lib_CancelTransfer(result, torrentId, deleteFiles != 0));
    });
}

TSP_LIB_API ServiceStatusC* TSP_LibC_OpenTransfer(int* result, const wchar_t* torrentId,
                                                  int sendToken) {
    if (!Given({torrentId})) return Refused<ServiceStatusC>(result);
    return Guarded<ServiceStatusC>(result, [&] {
        return Deliver(g_open, TSP_Lib_OpenTransfer(result, torrentId, sendToken != 0));
    });
}

TSP_LIB_API ServiceStatusC* TSP_LibC_UpdateTransfer(int* result, const wchar_t* torrentId,
                                                    int setP2P) {
    if (!Given({torrentId})) return Refused<ServiceStatusC>(result);
    return Guarded<ServiceStatusC>(result, [&] {
        return Deliver(g_update, TSP_Lib_UpdateTransfer(result, torrentId, setP2P != 0));
    });
}

TSP_LIB_API ServiceStatusC* TSP_LibC_UpdateListTransfer(int* result, const wchar_t* torrentIds,
                                                        int setP2P) {
    if (!Given({torrentIds})) return Refused<ServiceStatusC>(result);
    return Guarded<ServiceStatusC>(result, [&] {
        return Deliver(g_updateList, TSP_Lib_UpdateListTransfer(result, torrentIds, setP2P != 0));
    });
}
