#pragma once
// Paths and the well-known folders. Paths are wide strings holding native paths with "/";
// a folder path handed out here always ends with "/". Safe from any thread, except
// SetCurrentDirectory, which changes the whole process.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::fs {

// Wide path to the bytes the file system takes, and back. UTF-8 reads as text; any other
// byte is carried as an escape (see text::NativeBytesToWide), so every native path makes
// the trip to wide and back unchanged.
std::string NativePath(std::wstring_view path);
std::wstring WidePath(std::string_view nativePath);

// The running executable's full path; empty when it cannot be read.
std::wstring ExecutablePath();
// That path cut after its last "/" (the "/" stays); empty when it cannot be read.
std::wstring ExecutableFolder();

std::wstring CurrentDirectory();
bool SetCurrentDirectory(std::wstring_view path);

// The user's home folder: $HOME, else the password database; nullopt when neither says.
std::optional<std::wstring> UserProfileFolder();
// $XDG_CONFIG_HOME (when absolute), else home + ".config/". Per-user settings live here.
std::optional<std::wstring> UserConfigFolder();
// $XDG_CACHE_HOME (when absolute), else home + ".cache/". The local application data.
std::optional<std::wstring> LocalAppDataFolder();

// $XDG_RUNTIME_DIR when it names an existing folder by an absolute path; nullopt otherwise.
// Per-user files that live only as long as the user's session go here.
std::optional<std::wstring> UserRuntimeFolder();

// The path with every link, "." and ".." resolved; nullopt when it does not lead anywhere.
std::optional<std::wstring> CanonicalPath(std::wstring_view path);

// Appends "/" unless the path already ends with one; an empty path stays empty.
std::wstring WithTrailingSlash(std::wstring_view folder);

}  // namespace vesk::fs
