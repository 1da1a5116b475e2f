#pragma once
// The localised texts of the updater, read from VeskClient_String_Table.dat: one line per
// key, one column per language. Filled once at start-up, then only read (from any thread,
// without a lock).

#include <map>
#include <string>
#include <string_view>

struct StringTableEntry {
    std::wstring key;
    std::wstring secondColumn;  // kept with the entry; no lookup returns it
    int thirdColumn = 0;        // kept with the entry; no lookup returns it
    std::wstring text;          // the column of the selected language
};

class CStringTable {
public:
    // Loads the column of one language (0 English, 1 German, 2 French; below 0 reads as 0).
    // An absent file is created empty and loads as an empty table. Fails when no path is
    // given, or the file cannot be opened (another program holds it) or read.
    bool Load(std::wstring_view path, int column);

    // A copy of the key's text; the empty string for a key that is not in the table.
    std::wstring GetString(std::wstring_view key) const;

    // Parses the file's bytes (UTF-16LE) into the table, replacing earlier keys. Lines that
    // lack the columns the language needs are skipped.
    void Parse(std::string_view bytes, int column);

    std::size_t Size() const { return m_entries.size(); }

private:
    std::map<std::wstring, StringTableEntry, std::less<>> m_entries;
};

// The process-wide table.
CStringTable& TheStringTable();
