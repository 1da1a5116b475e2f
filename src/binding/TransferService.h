#pragma once
// Starting the local transfer service through the bound library, and asking whether it
// runs. Both are safe from any thread; the start blocks for minutes at worst.

#include <string>
#include <string_view>

enum class ServiceStart { Ready, NotReady, LibraryMissing };

// Binds programFolder + "TSPWrapperLib.dll" unless bound, starts the service with the
// partner name (three attempts) and, when it does not report itself logged in, restarts it
// (three attempts). Logs why it is not ready; shows nothing and posts nothing: on
// LibraryMissing the caller tells the user and ends the update.
ServiceStart StartTransferService(const std::wstring& programFolder,
                                  const std::wstring& partnerName);

// Whether a process named "TSP.exe", in any case, runs.
bool IsTransferServiceRunning();
bool IsTransferServiceName(std::wstring_view processName);
