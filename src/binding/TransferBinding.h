#pragma once
// The process-wide binding to the transfer library: loaded from the program folder at run
// time, seven of its exports taken by name, released before packages are unpacked so one
// may replace the library's file. All functions are safe from any thread; release waits
// until no call into the library is running.

#include <string>

inline constexpr wchar_t kTransferLibraryFile[] = L"TSPWrapperLib.dll";

// Loads the library and takes all seven names, or nothing: on any failure whatever was
// bound before is released too.
bool BindTransferLibrary(const std::wstring& libraryPath);
// Forgets the seven entry points and unloads the library; a second call does nothing.
void ReleaseTransferLibrary();
bool IsTransferLibraryBound();
