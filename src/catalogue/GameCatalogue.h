#pragma once
// The user's state in the game catalogue files ("gameinfo.xml_" + n), carried across a package
// that may replace them: read before the package is unpacked, merged into the new files after.
// Logs nothing except MergeGameCatalogues, one line per file it could not merge and one more
// when it could not put it back. Safe from any thread; two threads must not merge the same
// file at once.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// One attribute of a game's user state: on the "game" element itself (element null) or on its
// first child element of that name.
struct GameStateField {
    const char* element;
    const char* attribute;
};

inline constexpr GameStateField kGameStateFields[] = {
    {nullptr, "download"},      {nullptr, "downloaded"},    {nullptr, "updating"},
    {nullptr, "added"},         {nullptr, "installdate"},   {nullptr, "downtime"},
    {nullptr, "install"},       {"lastplaytime", "year"},   {"lastplaytime", "month"},
    {"lastplaytime", "day"},    {"lastplaytime", "hour"},   {"lastplaytime", "minute"},
    {"lastplaytime", "second"}, {"addedtime", "year"},      {"addedtime", "month"},
    {"addedtime", "day"},       {"addedtime", "hour"},      {"addedtime", "minute"},
    {"addedtime", "second"},    {"path", "downloadpath"},   {"path", "installpath"},
    {"path", "clientpath"},     {"path", "launcherpath"},   {"path", "pathcherpath"},
    {"path", "uninstallpath"},  {"newgameinfo", "newgame"}, {"installpack", "transferId"},
};

// A game's state, index for index with kGameStateFields, as the file holds it (entities
// resolved); empty where the game lacked the attribute, which then keeps its packaged value.
using GameState = std::array<std::optional<std::string>, std::size(kGameStateFields)>;

// One catalogue file as it was before a package was unpacked: the user's state per game id.
struct SavedCatalogue {
    std::wstring path;
    // Of several games with one id, the first in the file.
    std::unordered_map<int, GameState> games;
    // A copy of the file on disk until its state is merged back; empty when none was made.
    std::wstring keptPath;
    // The bytes the state was read from, put back when the merge fails.
    std::string original;
};

// Reads program folder + "gameinfo.xml_" + n for n = 0 .. Count-1, where Count is the integer
// "Locale"/"Count" of programFolder + "Config.ini" (default 0): one entry per file that could
// be read. Each file is also copied to the package folder ("tmp/", which must exist) until
// its merge succeeds, so an install that is killed half-way loses no state: the next read of
// an install from the same installed version takes the state from that copy instead of the
// file the package may have replaced, unless the file changed after the copy was made. Copies
// left by an install from another version are removed unread.
std::vector<SavedCatalogue> ReadGameCatalogues(const std::wstring& programFolder,
                                               const std::wstring& installedVersion);
// Nothing when the file is absent, unreadable or not a whole XML document with a root element.
std::optional<SavedCatalogue> ReadGameCatalogue(const std::wstring& path);

// Loads the file at saved.path again and copies the saved user state into the games of the
// same id, then puts the result in the file's place whole and removes the kept copy; false
// when nothing was written (file gone, unreadable or malformed: it is left as it is, and the
// copy kept for a later merge).
bool MergeGameCatalogue(const SavedCatalogue& saved);
// Puts the bytes the state was read from back in the file's place and removes the kept copy;
// false when they could not be written (the copy then stays for the next install).
bool RestoreGameCatalogue(const SavedCatalogue& saved);
// Merges every file; one that cannot be merged is logged and restored as it was. False when
// any could not be merged.
bool MergeGameCatalogues(const std::vector<SavedCatalogue>& saved);
