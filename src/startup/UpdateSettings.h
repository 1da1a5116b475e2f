#pragma once
// The updater's process-wide settings, filled at start-up and by the update flow, alive
// until the process ends.

#include <string>
#include <vector>

struct UpdateSettings {
    std::wstring userSettingsPath;  // the per-user Config.ini
    std::wstring programFolder;     // the executable's folder, ending with "/"
    int language = 0;               // 1 English, 2 German, 3 French
    std::wstring manifestUrl;
    std::wstring localManifestPath;
    std::vector<std::wstring> downloadedPackages;  // local paths, in download order
};

UpdateSettings& TheUpdateSettings();
