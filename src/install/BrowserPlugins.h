#pragma once
// Before packages replace files, the client's browser plug-ins must be free: a browser that
// has one loaded holds its file. For each one in use the user is asked to close the running
// browsers, as often as needed, or to give up the update.

#include <functional>
#include <string>

enum class PluginRelease { GoOn, GiveUp };

// Shows the yes/no question; returns the box's result (1 = OK). The install thread passes one
// that runs the skinned box; tests pass a scripted one.
using AskToCloseBrowsers =
    std::function<int(const std::wstring& text, const std::wstring& caption)>;

// Checks the plug-ins below programFolder in their fixed order; GiveUp as soon as a question
// is answered with anything but OK (also when no way to ask is given). Runs on the calling
// thread, the question included.
PluginRelease ReleaseBrowserPlugins(const std::wstring& programFolder,
                                    const AskToCloseBrowsers& ask);

// The plug-in lock test: true when the file exists and another holder has it, or it cannot
// be opened for reading and writing, or it is read-only; false when it is absent or free.
bool IsFileLocked(const std::wstring& path);
