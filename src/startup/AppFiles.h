#pragma once
// Fixed names of the installation and the per-user folder.

inline constexpr wchar_t kClientProgram[] = L"VeskClient.exe";
inline constexpr wchar_t kStringTableFile[] = L"VeskClient_String_Table.dat";
inline constexpr wchar_t kUpdateLogFile[] = L"VESKUpdateLog.txt";
inline constexpr wchar_t kSettingsFile[] = L"Config.ini";
inline constexpr wchar_t kUserFolderName[] = L"VeskClient/";
