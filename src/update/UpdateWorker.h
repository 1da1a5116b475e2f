#pragma once
// The update's background threads. Each holds the shared state and reaches the window only
// by handle; none is ever joined. Each Start... returns false when no thread could be made.

#include <memory>
#include <string>

#include "UpdateState.h"
#include "ui/Messages.h"

// Mode 0 checks the manifest and starts the download; mode 1 starts the install.
bool StartUpdateWorkerThread(std::shared_ptr<UpdateState> state, int mode);
void UpdateWorkerThread(const std::shared_ptr<UpdateState>& state, int mode);

// Starts a transfer of the source through the service and the window's progress timer; false
// when no transfer was started. Any thread.
bool DownloadPatcher(UpdateState& state, vesk::ui::WPARAM timerId, const std::wstring& source);
// The same without touching the timer, for a tick whose timer runs on; false too when a cancel
// began, and a transfer that started under it is cancelled again. Any thread.
bool StartNextTransfer(UpdateState& state, const std::wstring& source);

bool StartDirectDownloadThread(std::shared_ptr<UpdateState> state);
void DirectDownloadThread(const std::shared_ptr<UpdateState>& state);

bool StartInstallThread(std::shared_ptr<UpdateState> state);
void InstallThread(const std::shared_ptr<UpdateState>& state);

bool StartCancelThread(std::shared_ptr<UpdateState> state);
void CancelThread(const std::shared_ptr<UpdateState>& state);

// Registers a package's local path for the install, once.
void RegisterDownloadedPackage(const std::wstring& localPath);
