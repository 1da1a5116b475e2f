#pragma once
// The seven entry points of the bound library, and the shared hold on them that every
// call into the library keeps for its whole length.

#include <shared_mutex>

#include "TSPWrapperLib.h"

struct TransferEntries {
    decltype(&TSP_Lib_ShutDown) shutDown = nullptr;  // bound, never called
    decltype(&TSP_Lib_StartTSP) startService = nullptr;
    decltype(&TSP_Lib_CheckTSPIsLoggedIn) isLoggedIn = nullptr;
    decltype(&TSP_Lib_StartTransfer) startTransfer = nullptr;
    decltype(&TSP_Lib_CheckAndReStartTSP) restartService = nullptr;
    decltype(&TSP_Lib_CancelTransfer) cancelTransfer = nullptr;
    decltype(&TSP_Lib_StatusTransfer) statusTransfer = nullptr;
};

// While it lives, the library stays loaded and its entries valid; false when nothing is
// bound. Keep one per operation and never take a second on the same thread: a waiting
// release would block it.
class BoundEntries {
public:
    BoundEntries();
    explicit operator bool() const { return m_entries != nullptr; }
    const TransferEntries* operator->() const { return m_entries; }

private:
    std::shared_lock<std::shared_mutex> m_hold;
    const TransferEntries* m_entries = nullptr;
};
