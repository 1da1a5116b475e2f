#pragma once
// The transfer library's exported interface: typed exports that drive the local transfer
// service, the records they return and the result codes they report.
//
// Every export blocks its caller's thread and never throws. Records and lists come from the
// library's `new` and belong to the caller, who frees them with `delete`; host and library
// share the toolchain, the standard library and the heap. Where an export takes `int* result`
// it writes a ServiceResult there before returning (a null pointer is allowed and skipped).
//
// Starting, restarting and installing the service block for up to about two minutes per
// wait (polls every 5 s, limits of 120 s). A failed transfer request is repaired (service
// restarted, network token renewed, or login awaited) and sent again, three times at most.
// The installer is fetched from the download server named by VESK_TSP_DOWNLOAD_SERVER, or
// the maker's, at "/tirsa/tsp/TSPInst.exe".

#include <cstdint>
#include <string>
#include <vector>

#define TSP_LIB_API extern "C" __attribute__((visibility("default")))

// The result codes. 2, 3, 4 and 13 describe one request; 5 to 12 a recovery or start-up step.
enum ServiceResult : int {
    kServiceOk = 0,
    kServiceNoReply = 2,         // exchange failed, status outside 2xx, or empty body
    kServiceRenewToken = 3,      // the reply's statusId was 902
    kServiceNotLoggedIn = 4,     // the reply's statusId was 905
    kServiceTooOld = 5,          // installed service older than the minimum version
    kServiceInstallFailed = 6,   // not installed, and installing failed
    kServiceLaunchFailed = 7,    // starting the service executable failed
    kServiceNotInstalled = 8,    // not installed (restart paths do not install)
    kServiceTokenInvalid = 9,    // token renewal ended with a token not validated
    kServiceTokenValid = 10,     // token renewal ended with a validated token
    kServiceLoggedIn = 11,       // the service reported "LoggedIn"
    kServiceLoginTimedOut = 12,  // no "LoggedIn" within 120 s
    kServiceNoElement = 13,      // a reply arrived without its expected top-level element
};

// The "status" element common to most replies.
struct ServiceStatus {
    std::int32_t statusId = 0;
    std::wstring statusLink;
    std::wstring statusStr;
};

// The state of one transfer. Running: statusId 202, 204, 205; complete: 206.
struct TransferStatus {
    std::int32_t statusId = 0;
    std::wstring statusLink;
    std::wstring statusStr;
    std::wstring torrentId;
    std::wstring type;
    std::int64_t bytesDownloaded = 0;
    std::int64_t torrentSize = 0;
    std::int32_t bitRate = 0;
    std::int64_t bytesFromCDN = 0;
    std::int64_t bytesFromSPs = 0;
    std::int64_t bytesFromPeers = 0;
    std::int64_t reserved = 0;
};

struct TransferFile {
    std::wstring name;
    std::int64_t size = 0;
};

// The description of a transfer's package.
struct TransferInfo {
    std::wstring packageId;
    std::wstring key;
    std::wstring description;
    std::wstring packageURL;
    std::wstring packager;
    std::wstring creationDate;
    std::vector<TransferFile> files;
    std::int64_t packageSize = 0;
    bool sequential = false;
    std::int32_t targetRate = 0;
    std::int32_t idleRate = 0;
    bool httpEncrypted = false;
    bool leaveEncrypted = false;
    bool noP2PPermitted = false;
    std::int32_t downloadToExpire = 0;
    std::int32_t playToExpire = 0;
};

struct VersionInfo {
    std::wstring buildId;
    std::wstring version;
    bool upgradeAvailable = false;
    std::wstring exclusivity;
};

struct TokenInfo {
    std::wstring diskToken;
    std::wstring netToken;
    std::wstring filePath;
    bool validated = false;
};

// The service is ready for transfers when loginStatus is exactly "LoggedIn".
struct LoginInfo {
    std::wstring loginStatus;
    std::int32_t subscriptionLevel = 0;
};

// Fixed-size records of the plain exports (TSP_LibC_*): every text a NUL-terminated array of
// 512 characters (longer texts are cut to 511), fields naturally aligned.
inline constexpr int kPlainTextLength = 512;
inline constexpr int kPlainListLength = 16;

struct ServiceStatusC {
    std::int32_t statusId;
    wchar_t statusLink[kPlainTextLength];
    wchar_t statusStr[kPlainTextLength];
};

struct TransferStatusC {
    std::int32_t statusId;
    wchar_t statusLink[kPlainTextLength];
    wchar_t statusStr[kPlainTextLength];
    wchar_t torrentId[kPlainTextLength];
    wchar_t type[kPlainTextLength];
    std::int64_t bytesDownloaded;
    std::int64_t torrentSize;
    std::int32_t bitRate;
    std::int64_t bytesFromCDN;
    std::int64_t bytesFromSPs;
    std::int64_t bytesFromPeers;
    std::int64_t reserved;
};

// The first 16 transfers of a status list.
struct TransferStatusListC {
    std::int32_t count;
    TransferStatusC items[kPlainListLength];
};

// A package's description without its file list.
struct TransferInfoC {
    wchar_t packageId[kPlainTextLength];
    wchar_t key[kPlainTextLength];
    wchar_t description[kPlainTextLength];
    wchar_t packageURL[kPlainTextLength];
    wchar_t packager[kPlainTextLength];
    wchar_t creationDate[kPlainTextLength];
    std::int64_t packageSize;
    bool sequential;
    std::int32_t targetRate;
    std::int32_t idleRate;
    bool httpEncrypted;
    bool leaveEncrypted;
    bool noP2PPermitted;
    std::int32_t downloadToExpire;
    std::int32_t playToExpire;
};

struct VersionInfoC {
    wchar_t buildId[kPlainTextLength];
    wchar_t version[kPlainTextLength];
    std::int32_t upgradeAvailable;  // 0 or 1
    wchar_t exclusivity[kPlainTextLength];
};

struct TokenInfoC {
    wchar_t diskToken[kPlainTextLength];
    wchar_t netToken[kPlainTextLength];
    wchar_t filePath[kPlainTextLength];
    std::int32_t validated;  // 0 or 1
};

struct LoginInfoC {
    wchar_t loginStatus[kPlainTextLength];
    std::int32_t subscriptionLevel;
};

#if defined(__clang__)
#pragma clang diagnostic push
// The typed exports pass standard library types under unmangled names on purpose.
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif

// Finding, installing, starting and restarting the service. TSP_Lib_CheckIsTSPPresent
// copies the registered version and folder into the caller's buffers of 1024 characters
// (cut to fit; a null pointer is skipped).
TSP_LIB_API bool TSP_Lib_CheckIsTSPPresent(wchar_t** version, wchar_t** folder);
TSP_LIB_API bool TSP_Lib_InstallTSP(const std::wstring& partner);
TSP_LIB_API bool TSP_Lib_LaunchTSPApplication(const std::wstring& folder);
TSP_LIB_API bool TSP_Lib_StartTSP(int* result, const std::wstring& partner);
TSP_LIB_API bool TSP_Lib_CheckAndReStartTSP(int* result);
TSP_LIB_API bool TSP_Lib_CheckTSPIsLoggedIn();
TSP_LIB_API LoginInfo* TSP_Lib_LoginStatus();
TSP_LIB_API VersionInfo* TSP_Lib_Version();

// Settings kept for the process. Requests always go to port 60524; the port is only stored.
TSP_LIB_API void TSP_Lib_SetMinimumRequiredVersion(const std::wstring& version);
TSP_LIB_API std::wstring TSP_Lib_GetMinimumRequiredVersion();
TSP_LIB_API void TSP_Lib_SetTSPPort(int port);
TSP_LIB_API int TSP_Lib_GetTSPPort();

// Tokens, the service's key/value store, shut-down and upgrade.
TSP_LIB_API TokenInfo* TSP_Lib_GetToken();
TSP_LIB_API TokenInfo* TSP_Lib_ValidateDiskToken(const std::wstring& netToken);
TSP_LIB_API std::wstring TSP_Lib_GetKeyValue(const std::wstring& category, const std::wstring& key);
TSP_LIB_API ServiceStatus* TSP_Lib_SetKeyValue(const std::wstring& category,
                                               const std::wstring& key, const std::wstring& value);
TSP_LIB_API ServiceStatus* TSP_Lib_ShutDown();
TSP_LIB_API ServiceStatus* TSP_Lib_Upgrade();

// Transfers. A record may come back together with code 3 or 4 (statusId 902 or 905).
TSP_LIB_API TransferStatus* TSP_Lib_StartTransfer(int* result, const std::wstring& packageUrl,
                                                  const std::wstring& destDir, bool setP2P);
TSP_LIB_API TransferStatus* TSP_Lib_StatusTransfer(int* result, const std::wstring& torrentId);
TSP_LIB_API std::vector<TransferStatus>* TSP_Lib_StatusListTransfer(int* result,
                                                                    const std::wstring& torrentIds);
TSP_LIB_API std::vector<std::wstring>* TSP_Lib_FilesTransfer(int* result,
                                                             const std::wstring& torrentId);
TSP_LIB_API TransferInfo* TSP_Lib_InfoTransfer(int* result, const std::wstring& torrentId);
TSP_LIB_API TransferStatus* TSP_Lib_PauseTransfer(int* result, const std::wstring& torrentId);
TSP_LIB_API TransferStatus* TSP_Lib_ResumeTransfer(int* result, const std::wstring& torrentId);
TSP_LIB_API ServiceStatus* TSP_Lib_CancelTransfer(int* result, const std::wstring& torrentId,
                                                  bool deleteFiles);
TSP_LIB_API ServiceStatus* TSP_Lib_OpenTransfer(int* result, const std::wstring& torrentId,
                                                bool sendToken);
TSP_LIB_API ServiceStatus* TSP_Lib_UpdateTransfer(int* result, const std::wstring& torrentId,
                                                  bool setP2P);
TSP_LIB_API ServiceStatus* TSP_Lib_UpdateListTransfer(int* result, const std::wstring& torrentIds,
                                                      bool setP2P);

// The plain family: the typed operations for hosts that share neither the string class nor
// the heap with the library. Each export that returns a record copies it into a static area
// of its own and returns that; the next call of the same export overwrites it, so the family
// is for one thread at a time. A failed call returns null and leaves its area as it was. A
// null text argument returns null (or 0, or the empty text) without asking the service,
// with code 2 where there is a result code. There is no plain file list.
TSP_LIB_API int TSP_LibC_CheckIsTSPPresent(wchar_t** version, wchar_t** folder);
TSP_LIB_API int TSP_LibC_InstallTSP(const wchar_t* partner);
TSP_LIB_API int TSP_LibC_LaunchTSPApplication(const wchar_t* folder);
TSP_LIB_API int TSP_LibC_CheckTSPIsLoggedIn();
TSP_LIB_API int TSP_LibC_StartTSP(int* result, const wchar_t* partner);
TSP_LIB_API int TSP_LibC_CheckAndReStartTSP(int* result);
TSP_LIB_API void TSP_LibC_SetMinimumRequiredVersion(const wchar_t* version);
TSP_LIB_API const wchar_t* TSP_LibC_GetMinimumRequiredVersion();
TSP_LIB_API void TSP_LibC_SetTSPPort(int port);  // the same entry as TSP_Lib_SetTSPPort
TSP_LIB_API int TSP_LibC_GetTSPPort();           // the same entry as TSP_Lib_GetTSPPort
TSP_LIB_API VersionInfoC* TSP_LibC_Version();
// Never null: the empty text when no value was read.
TSP_LIB_API const wchar_t* TSP_LibC_GetKeyValue(const wchar_t* category, const wchar_t* key);
TSP_LIB_API ServiceStatusC* TSP_LibC_SetKeyValue(const wchar_t* category, const wchar_t* key,
                                                 const wchar_t* value);
TSP_LIB_API TokenInfoC* TSP_LibC_GetToken(const wchar_t* unused);
TSP_LIB_API TokenInfoC* TSP_LibC_ValidateDiskToken(const wchar_t* netToken);
TSP_LIB_API LoginInfoC* TSP_LibC_LoginStatus();
TSP_LIB_API ServiceStatusC* TSP_LibC_ShutDown();
TSP_LIB_API ServiceStatusC* TSP_LibC_Upgrade();
TSP_LIB_API TransferStatusC* TSP_LibC_StartTransfer(int* result, const wchar_t* packageUrl,
                                                    const wchar_t* destDir, int setP2P);
TSP_LIB_API TransferStatusC* TSP_LibC_StatusTransfer(int* result, const wchar_t* torrentId);
TSP_LIB_API TransferStatusListC* TSP_LibC_StatusListTransfer(int* result,
                                                             const wchar_t* torrentIds);
TSP_LIB_API TransferInfoC* TSP_LibC_InfoTransfer(int* result, const wchar_t* torrentId);
TSP_LIB_API TransferStatusC* TSP_LibC_PauseTransfer(int* result, const wchar_t* torrentId);
TSP_LIB_API TransferStatusC* TSP_LibC_ResumeTransfer(int* result, const wchar_t* torrentId);
TSP_LIB_API ServiceStatusC* TSP_LibC_CancelTransfer(int* result, const wchar_t* torrentId,
                                                    int deleteFiles);
TSP_LIB_API ServiceStatusC* TSP_LibC_OpenTransfer(int* result, const wchar_t* torrentId,
                                                  int sendToken);
TSP_LIB_API ServiceStatusC* TSP_LibC_UpdateTransfer(int* result, const wchar_t* torrentId,
                                                    int setP2P);
TSP_LIB_API ServiceStatusC* TSP_LibC_UpdateListTransfer(int* result, const wchar_t* torrentIds,
                                                        int setP2P);

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
