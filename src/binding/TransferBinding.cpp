#include "TransferBinding.h"

#include <mutex>

#include "TransferEntries.h"
#include "dynlib/Library.h"

namespace {

struct Binding {
    std::shared_mutex mutex;
    vesk::dynlib::Library library;
    TransferEntries entries;
};

// Never destroyed: a thread still in a call at exit must not see the library go.
Binding& TheBinding() {
    static Binding* const binding = new Binding;
    return *binding;
}

template <class Entry>
bool Take(vesk::dynlib::Library& library, const char* name, Entry& entry) {
    entry = reinterpret_cast<Entry>(library.Symbol(name));
    return entry != nullptr;
}

bool TakeAll(vesk::dynlib::Library& library, TransferEntries& e) {
    return Take(library, "TSP_Lib_ShutDown", e.shutDown) &&
           Take(library, "TSP_Lib_StartTSP", e.startService) &&
           Take(library, "TSP_Lib_CheckTSPIsLoggedIn", e.isLoggedIn) &&
           Take(library, "TSP_Lib_StartTransfer", e.startTransfer) &&
           Take(library, "TSP_Lib_CheckAndReStartTSP", e.restartService) &&
           Take(library, "TSP_Lib_CancelTransfer", e.cancelTransfer) &&
           Take(library, "TSP_Lib_StatusTransfer", e.statusTransfer);
}

void ReleaseLocked(Binding& binding) {
    binding.entries = {};
    binding.library.Unload();
}

}  // namespace

BoundEntries::BoundEntries() : m_hold(TheBinding().mutex) {
    if (TheBinding().library.IsLoaded()) m_entries = &TheBinding().entries;
}

bool BindTransferLibrary(const std::wstring& libraryPath) {
    Binding& binding = TheBinding();
    std::unique_lock lock(binding.mutex);
    // Loaded before the old one goes, so binding the same file again never reloads it.
    vesk::dynlib::Library library;
    TransferEntries entries;
    if (!library.Load(libraryPath) || !TakeAll(library, entries)) {
        ReleaseLocked(binding);
        return false;
    }
    binding.entries = entries;
    std::swap(binding.library, library);
    return true;
}

void ReleaseTransferLibrary() {
    Binding& binding = TheBinding();
    std::unique_lock lock(binding.mutex);
    ReleaseLocked(binding);
}

bool IsTransferLibraryBound() {
    return static_cast<bool>(BoundEntries());
}
