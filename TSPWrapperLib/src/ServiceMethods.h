#pragma once
// The service's REST method names and the top-level element each reply must carry.

namespace vesk::tsp::method {

inline constexpr const wchar_t* kVersion = L"version";
inline constexpr const wchar_t* kLoginStatus = L"loginStatus";
inline constexpr const wchar_t* kGetKeyValue = L"getKeyValue";
inline constexpr const wchar_t* kGetToken = L"getToken";
inline constexpr const wchar_t* kSetKeyValue = L"setKeyValue";
inline constexpr const wchar_t* kValidateDiskToken = L"validateDiskToken";
inline constexpr const wchar_t* kShutdown = L"shutdown";
inline constexpr const wchar_t* kUpgrade = L"upgrade";
inline constexpr const wchar_t* kTransferStart = L"transfer.start";
inline constexpr const wchar_t* kTransferStatus = L"transfer.status";
inline constexpr const wchar_t* kTransferFiles = L"transfer.files";
inline constexpr const wchar_t* kTransferInfo = L"transfer.info";
inline constexpr const wchar_t* kTransferPause = L"transfer.pause";
inline constexpr const wchar_t* kTransferResume = L"transfer.resume";
inline constexpr const wchar_t* kTransferStatusList = L"transfer.statusList";
inline constexpr const wchar_t* kTransferCancel = L"transfer.cancel";
inline constexpr const wchar_t* kTransferOpen = L"transfer.open";
inline constexpr const wchar_t* kTransferUpdate = L"transfer.update";
inline constexpr const wchar_t* kTransferUpdateList = L"transfer.updateList";

}  // namespace vesk::tsp::method

namespace vesk::tsp::element {

inline constexpr const char* kVersionResp = "VersionResp";
inline constexpr const char* kLoginStatus = "LoginStatus";
inline constexpr const char* kKeyResp = "KeyResp";
inline constexpr const char* kTokenResp = "TokenResp";
inline constexpr const char* kShutdown = "Shutdown";
inline constexpr const char* kUpgradeResp = "UpgradeResp";
inline constexpr const char* kTransferStatus = "TransferStatus";
inline constexpr const char* kTransferFiles = "TransferFiles";
inline constexpr const char* kTransferInfo = "TransferInfo";
inline constexpr const char* kTransferStatusList = "TransferStatusList";
inline constexpr const char* kCancelStatus = "CancelStatus";
inline constexpr const char* kOpenStatus = "OpenStatus";
inline constexpr const char* kUpdate = "Update";

}  // namespace vesk::tsp::element
