#pragma once
// Where the service is installed, as its installer registered it for the current user.

#include <string>

namespace vesk::tsp {

inline constexpr const wchar_t* kServiceRegistryKey = L"Software\\Tirsa Networks\\TSP";
inline constexpr const wchar_t* kVersionValue = L"Version Number";
inline constexpr const wchar_t* kFolderValue = L"Program Directory";
inline constexpr const wchar_t* kServiceProgram = L"TSP.exe";

struct ServiceRegistration {
    bool present = false;  // registered, and its program file exists
    std::wstring version;  // empty when the version value is absent
    std::wstring folder;   // empty when the folder value is absent
};

// Safe from any thread.
ServiceRegistration ReadServiceRegistration();

// The service program in an installation folder.
std::wstring ServiceProgramIn(const std::wstring& folder);

}  // namespace vesk::tsp
