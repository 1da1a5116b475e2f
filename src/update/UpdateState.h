#pragma once
// The state of one update, shared by the update window and the threads that work for it.
// Workers never hold the window: they reach it and its controls by handle, and keep this
// state alive for as long as they run.
//
// Threads: the fixed part is written once, on the UI thread, before any worker starts. The
// download fields pass from one party to the next (the check, then the timer's jobs, one at a
// time, or the direct download, then the install), each hand-over ordered by a thread start or
// a posted message. The transfer id alone is touched by two threads at once (a timer's job and
// the cancel) and is guarded.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ManifestSignature.h"
#include "UpdatePackage.h"
#include "VersionSettings.h"
#include "fs/HeldFile.h"
#include "gfx/Geometry.h"
#include "ui/WindowHandle.h"

// The update window and the controls workers change.
struct UpdateControls {
    vesk::ui::WindowHandle window;
    vesk::ui::WindowHandle status;        // 1001
    vesk::ui::WindowHandle cancelButton;  // 1002
    vesk::ui::WindowHandle exitButton;    // 1003
    vesk::ui::WindowHandle slider;        // 3
    vesk::gfx::Rect client;               // the window's client rectangle
};

class UpdateState {
public:
    // Fixed when the window opens.
    std::wstring programFolder;  // ends with "/"
    VersionSettings version;
    UpdateKey updateKey;  // the publisher's key the installation carries, if any
    UpdateControls controls;

    // Passed from thread to thread.
    UpdatePackageList packages;
    int currentIndex = 0;
    std::int64_t totalBytes = 0;
    std::int64_t bytesDone = 0;  // packages fetched through the service
    std::wstring partnerName;
    // Each package that passed its check, held open from the check to its install, by local
    // path: what is unpacked is what was checked, whatever is at the path by then.
    std::map<std::wstring, std::shared_ptr<const vesk::fs::HeldFile>> checkedPackages;

    std::wstring PackageFolder() const { return programFolder + L"tmp/"; }
    std::wstring LocalPathOf(const UpdatePackage& package) const {
        return PackageFolder() + package.name;
    }
    // Where a direct download of the package grows until it is whole and checked.
    std::wstring PartPathOf(const UpdatePackage& package) const {
        return LocalPathOf(package) + kPartSuffix;
    }
    static constexpr wchar_t kPartSuffix[] = L".part";
    bool HasCurrentPackage() const {
        return currentIndex >= 0 && currentIndex < static_cast<int>(packages.size());
    }
    const UpdatePackage& CurrentPackage() const { return packages[currentIndex]; }

    // Set once, by whoever begins a cancel; from then on nothing new starts. Safe from any
    // thread.
    void BeginCancel() { m_cancelling.store(true); }
    bool Cancelling() const { return m_cancelling.load(); }

    void SetTransferId(std::wstring id);
    std::wstring TransferId() const;
    // The id, which is cleared: only one party gets to cancel a transfer.
    std::wstring TakeTransferId();

private:
    mutable std::mutex m_mutex;
    std::wstring m_transferId;
    std::atomic<bool> m_cancelling{false};
};
