// Six of the seven exports the updater binds, each failing; "TSP_Lib_ShutDown" is missing.

#include "TSPWrapperLib.h"

TSP_LIB_API bool TSP_Lib_StartTSP(int*, const std::wstring&) {
    return false;
}
TSP_LIB_API bool TSP_Lib_CheckTSPIsLoggedIn() {
    return false;
}
TSP_LIB_API bool TSP_Lib_CheckAndReStartTSP(int*) {
    return false;
}
TSP_LIB_API TransferStatus* TSP_Lib_StartTransfer(int*, const std::wstring&, const std::wstring&,
                                                  bool) {
    return nullptr;
}
TSP_LIB_API TransferStatus* TSP_Lib_StatusTransfer(int*, const std::wstring&) {
    return nullptr;
}
TSP_LIB_API ServiceStatus* TSP_Lib_CancelTransfer(int*, const std::wstring&, bool) {
    return nullptr;
}
