#pragma once
// Pictures of top-level windows for tests and documentation. VESK_UI_SNAPSHOTS=DIR keeps a PNG
// of each window as it first shows ("shown"), as it closes ("closed"), and whenever the process
// is sent SIGUSR1 ("asked": every shown window is composed again and photographed), so that a
// test or a script can photograph a window in the middle of its work. Files are numbered in the
// order taken, NNN-TITLE-MOMENT.png, and each appears whole (written aside, then renamed).
//
// Threads: the requests arrive on any thread through the signal and reach the UI thread through
// a watcher thread of their own; the rest runs on the UI thread.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ui/Messages.h"

namespace vesk::ui {

std::string SnapshotFolderFromEnvironment();

class Snapshots {
public:
    // Listens for requests when folder is not empty; an empty folder keeps nothing.
    explicit Snapshots(std::string folder);

    bool Enabled() const { return !m_folder.empty(); }
    // The moments at which a window being presented now is to be kept.
    std::vector<const char*> Presented(Hwnd hwnd);
    // Whether a closing window was ever presented, and so is to be kept as it closes.
    bool Closing(Hwnd hwnd);
    // Writes the picture through save(path) under the next number; false when it fails.
    bool Keep(const std::wstring& title, const char* moment,
              const std::function<bool(const std::string&)>& save);

private:
    std::string m_folder;
    std::set<Hwnd> m_presented;
    std::set<Hwnd> m_asked;
    unsigned m_requestsSeen = 0;
    int m_taken = 0;
};

}  // namespace vesk::ui
