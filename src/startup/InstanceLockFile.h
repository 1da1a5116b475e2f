#pragma once
// Where the instance guard of one installation lives: a per-user lock file named after the
// program folder, in the user's runtime folder ($XDG_RUNTIME_DIR), or in the user's cache
// folder where there is none. Only the user may write either, so no other user can take it.

#include <optional>
#include <string>

// The lock file's path for the program folder (its canonical form counts, so every path to one
// installation gives one file); the cache folder is made when missing. nullopt when no
// per-user folder can be had.
std::optional<std::wstring> InstanceLockFile(const std::wstring& programFolder);
