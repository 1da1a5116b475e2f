#include "GameCatalogue.h"

#include <tinyxml.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "AppFiles.h"
#include "UpdateLog.h"
#include "fs/Files.h"
#include "fs/WholeFile.h"
#include "profile/ProfileFile.h"
#include "text/Utf.h"
#include "xml/BoundedParse.h"

namespace {

constexpr wchar_t kCatalogueFilePrefix[] = L"gameinfo.xml_";
// Where a file's copy waits for its merge: the package folder, with the file's name.
constexpr wchar_t kKeptFolder[] = L"tmp/";
constexpr wchar_t kKeptSuffix[] = L".user";
// Beside the copies: the installed version of the install they belong to.
constexpr wchar_t kKeptMarker[] = L"gameinfo.xml.from";
constexpr std::size_t kMaxMarkerBytes = 4096;
constexpr wchar_t kLocaleSection[] = L"Locale";
constexpr wchar_t kLocaleCountKey[] = L"Count";
constexpr char kGameElement[] = "game";
constexpr char kIdAttribute[] = "id";
constexpr wchar_t kMergeFailedLog[] = L"Merge game info failed.(file: %s)";
constexpr wchar_t kRestoreFailedLog[] = L"Restore game info failed.(file: %s)";

// Generous: a catalogue of hundreds of games is well below a megabyte.
constexpr std::size_t kMaxCatalogueBytes = 64u << 20;
constexpr std::size_t kMaxCatalogueDepth = 64;
// Far more languages than any installation ships; a damaged count does not probe billions of
// names.
constexpr int kMaxCatalogueFiles = 1024;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct LoadedCatalogue {
    TiXmlDocument document;
    bool byteOrderMark = false;
};

// The whole document, or false when the bytes are malformed or have no root.
bool ParseCatalogue(const std::string& bytes, LoadedCatalogue& out) {
    out.byteOrderMark = std::string_view(bytes).starts_with(kUtf8Bom);
    return vesk::xml::ParseBounded(out.document, bytes, kMaxCatalogueDepth) ==
               vesk::xml::ParseResult::Parsed &&
           out.document.RootElement() != nullptr;
}

bool ReadCatalogueBytes(const std::wstring& path, std::string& bytes) {
    return vesk::fs::ReadWholeFile(path, bytes, kMaxCatalogueBytes) == vesk::fs::WholeFileRead::Ok;
}

// The whole document, or false when the file is absent, unreadable, malformed or has no root.
bool LoadCatalogue(const std::wstring& path, LoadedCatalogue& out) {
    std::string bytes;
    return ReadCatalogueBytes(path, bytes) && ParseCatalogue(bytes, out);
}

// Ids are whole decimal integers; a game without one cannot be matched and is passed over.
std::optional<int> GameId(const TiXmlElement& game) {
    const char* text = game.Attribute(kIdAttribute);
    if (!text) return std::nullopt;
    const char* end = text + std::strlen(text);
    int id = 0;
    const auto [stop, error] = std::from_chars(text, end, id);
    if (error != std::errc() || stop != end || stop == text) return std::nullopt;
    return id;
}

const TiXmlElement* FieldElement(const TiXmlElement& game, const GameStateField& field) {
    return field.element ? game.FirstChildElement(field.element) : &game;
}

TiXmlElement* FieldElement(TiXmlElement& game, const GameStateField& field) {
    return field.element ? game.FirstChildElement(field.element) : &game;
}

GameState StateOf(const TiXmlElement& game) {
    GameState state;
    for (std::size_t i = 0; i < state.size(); ++i) {
        const TiXmlElement* element = FieldElement(game, kGameStateFields[i]);
        const char* value = element ? element->Attribute(kGameStateFields[i].attribute) : nullptr;
        if (value) state[i] = value;
    }
    return state;
}

void ApplyState(TiXmlElement& game, const GameState& state) {
    for (std::size_t i = 0; i < state.size(); ++i) {
        if (!state[i]) continue;
        // Only elements the package has are given state; none is created.
        if (TiXmlElement* element = FieldElement(game, kGameStateFields[i]))
            element->SetAttribute(kGameStateFields[i].attribute, state[i]->c_str());
    }
}

// The document as TinyXML saves it, with the byte order mark it was read with.
std::string Serialise(const LoadedCatalogue& catalogue) {
    TiXmlPrinter printer;
    catalogue.document.Accept(&printer);
    std::string bytes;
    if (catalogue.byteOrderMark) bytes.append(kUtf8Bom);
    bytes.append(printer.Str());
    return bytes;
}

SavedCatalogue SavedFrom(const LoadedCatalogue& loaded, const std::wstring& path) {
    SavedCatalogue saved;
    saved.path = path;
    for (const TiXmlElement* game = loaded.document.RootElement()->FirstChildElement(kGameElement);
         game; game = game->NextSiblingElement(kGameElement)) {
        if (const auto id = GameId(*game)) saved.games.try_emplace(*id, StateOf(*game));
    }
    return saved;
}

// True when the copy was made after the file last changed: the file is then as the copy
// found it, or as a package unpacked it with the package's own, earlier times. A file the user
// changed since is newer, and the copy must not roll it back.
bool KeptIsCurrent(const std::wstring& path, const std::wstring& kept) {
    const auto copy = vesk::fs::GetAttributes(kept);
    if (!copy) return false;
    const auto file = vesk::fs::GetAttributes(path);
    return !file || file->modified <= copy->modified;
}

// The state from the copy an earlier run of this install left unmerged, when there is a
// current one; else from the file, copied for as long as this install runs.
std::optional<SavedCatalogue> ReadAndKeep(const std::wstring& path, const std::wstring& kept) {
    try {
        if (std::string bytes; KeptIsCurrent(path, kept) && ReadCatalogueBytes(kept, bytes)) {
            if (LoadedCatalogue earlier; ParseCatalogue(bytes, earlier)) {
                SavedCatalogue saved = SavedFrom(earlier, path);
                saved.keptPath = kept;
                saved.original = std::move(bytes);
                return saved;
            }
        }
        vesk::fs::DeleteFile(kept);
        std::string bytes;
        LoadedCatalogue loaded;
        if (!ReadCatalogueBytes(path, bytes) || !ParseCatalogue(bytes, loaded)) return std::nullopt;
        SavedCatalogue saved = SavedFrom(loaded, path);
        if (vesk::fs::WriteWholeFile(kept, bytes, false,
                                     vesk::fs::ReplacementFile::Durability::Durable)) {
            saved.keptPath = kept;
        }
        saved.original = std::move(bytes);
        return saved;
    } catch (...) {
        return std::nullopt;
    }
}

// True when the copies in the folder belong to an install from this version; else they are
// someone else's, and the folder is marked for this install before any copy is made.
bool ClaimKeptCopies(const std::wstring& folder, const std::string& version) {
    const std::wstring marker = folder + kKeptMarker;
    std::string marked;
    if (vesk::fs::ReadWholeFile(marker, marked, kMaxMarkerBytes) == vesk::fs::WholeFileRead::Ok &&
        marked == version)
        return true;
    vesk::fs::WriteWholeFile(marker, version, false,
                             vesk::fs::ReplacementFile::Durability::Durable);
    return false;
}

// Once no copy waits for its merge, nothing is left to tie to an install.
void ReleaseKeptCopies(const std::vector<SavedCatalogue>& saved) {
    std::wstring folder;
    for (const SavedCatalogue& catalogue : saved) {
        if (catalogue.keptPath.empty()) continue;
        if (!vesk::fs::IsAbsent(catalogue.keptPath)) return;
        folder = catalogue.keptPath.substr(0, catalogue.keptPath.rfind(L'/') + 1);
    }
    if (!folder.empty()) vesk::fs::DeleteFile(folder + kKeptMarker);
}

// The live file gets these bytes for good, and the kept copy, no longer needed, goes.
bool WriteBackAndForgetCopy(const SavedCatalogue& saved, const std::string& bytes) {
    if (!vesk::fs::WriteWholeFile(saved.path, bytes, false,
                                  vesk::fs::ReplacementFile::Durability::Durable))
        return false;
    if (!saved.keptPath.empty()) vesk::fs::DeleteFile(saved.keptPath);
    return true;
}

}  // namespace

std::optional<SavedCatalogue> ReadGameCatalogue(const std::wstring& path) {
    try {
        LoadedCatalogue loaded;
        if (!LoadCatalogue(path, loaded)) return std::nullopt;
        return SavedFrom(loaded, path);
    } catch (...) {
        return std::nullopt;
    }
}

std::vector<SavedCatalogue> ReadGameCatalogues(const std::wstring& programFolder,
                                               const std::wstring& installedVersion) {
    std::vector<SavedCatalogue> catalogues;
    try {
        const int count = std::min(vesk::profile::ReadInt(programFolder + kSettingsFile,
                                                          kLocaleSection, kLocaleCountKey, 0),
                                   kMaxCatalogueFiles);
        const std::wstring keptFolder = programFolder + kKeptFolder;
        const bool ours =
            count > 0 && ClaimKeptCopies(keptFolder, vesk::text::WideToUtf8(installedVersion));
        for (int n = 0; n < count; ++n) {
            const std::wstring name = kCatalogueFilePrefix + std::to_wstring(n);
            const std::wstring kept = keptFolder + name + kKeptSuffix;
            if (!ours) vesk::fs::DeleteFile(kept);
            if (auto saved = ReadAndKeep(programFolder + name, kept))
                catalogues.push_back(std::move(*saved));
        }
    } catch (...) {
        // Whatever was read before stays usable.
    }
    return catalogues;
}

bool MergeGameCatalogue(const SavedCatalogue& saved) {
    try {
        LoadedCatalogue loaded;
        if (!LoadCatalogue(saved.path, loaded)) return false;
        for (TiXmlElement* game = loaded.document.RootElement()->FirstChildElement(kGameElement);
             game; game = game->NextSiblingElement(kGameElement)) {
            const auto id = GameId(*game);
            if (!id) continue;
            const auto old = saved.games.find(*id);
            if (old != saved.games.end()) ApplyState(*game, old->second);
        }
        return WriteBackAndForgetCopy(saved, Serialise(loaded));
    } catch (...) {
        return false;
    }
}

bool RestoreGameCatalogue(const SavedCatalogue& saved) {
    try {
        return WriteBackAndForgetCopy(saved, saved.original);
    } catch (...) {
        return false;
    }
}

bool MergeGameCatalogues(const std::vector<SavedCatalogue>& saved) {
    bool merged = true;
    for (const SavedCatalogue& catalogue : saved) {
        if (MergeGameCatalogue(catalogue)) continue;
        merged = false;
        WriteUpdateLog(kMergeFailedLog, catalogue.path);
        if (!RestoreGameCatalogue(catalogue)) WriteUpdateLog(kRestoreFailedLog, catalogue.path);
    }
    ReleaseKeptCopies(saved);
    return merged;
}
