#pragma once
// Where the skinned boxes take their captions and theme images from: the localised string
// table, the program folder and the interface language. The updater fills it at start-up,
// before any worker exists; afterwards it is only read, from any thread.

#include <functional>
#include <string>
#include <string_view>

struct SkinSource {
    // The localised text of a string-table key; empty for an unknown key.
    std::function<std::wstring(std::wstring_view key)> text;
    std::wstring programFolder;  // ends with "/"
    int language = 0;            // 1 English, 2 German, 3 French

    std::wstring Text(std::wstring_view key) const { return text ? text(key) : std::wstring(); }
    // A theme-relative name ("themes/classic/x.png") under the program folder.
    std::wstring ThemePath(std::wstring_view name) const;
};

// Replaces the process-wide source.
void SetSkinSource(SkinSource source);
const SkinSource& TheSkinSource();
