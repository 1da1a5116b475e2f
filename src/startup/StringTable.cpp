#include "StringTable.h"

#include "StringTableLine.h"
#include "fs/Files.h"
#include "text/Utf.h"

bool CStringTable::Load(std::wstring_view path, int column) {
    if (path.empty()) return false;
    using vesk::fs::ExclusiveFile;
    ExclusiveFile file;
    // The client shares the file; like it, we hold it unshared while reading, and an absent
    // table is created empty. A table we may not write is still read, shared with readers.
    auto opened = ExclusiveFile::Open(path, ExclusiveFile::Access::ReadWrite,
                                      /*createIfAbsent=*/true, file);
    if (opened == ExclusiveFile::Result::Failed)
        opened = ExclusiveFile::Open(path, ExclusiveFile::Access::Read, false, file);
    if (opened != ExclusiveFile::Result::Ok) return false;
    const auto bytes = file.ReadAll();
    if (!bytes) return false;
    Parse(*bytes, column);
    return true;
}

void CStringTable::Parse(std::string_view bytes, int column) {
    if (column < 0) column = 0;
    const std::u16string units = vesk::text::Utf16LeBytesToUnits(bytes);
    const std::u16string_view text(units);

    // The first line is the header; text after the last line feed is not a line.
    size_t start = text.find(u'\n');
    if (start == std::u16string_view::npos) return;
    ++start;
    for (size_t end = text.find(u'\n', start); end != std::u16string_view::npos;
         start = end + 1, end = text.find(u'\n', start)) {
        std::u16string_view line = text.substr(start, end - start);
        if (line.empty()) continue;
        line.remove_suffix(1);  // the character before the LF, whatever it is
        if (auto entry = ParseStringTableLine(line, column)) {
            std::wstring key = entry->key;
            m_entries.insert_or_assign(std::move(key), std::move(*entry));
        }
    }
}

std::wstring CStringTable::GetString(std::wstring_view key) const {
    const auto found = m_entries.find(key);
    return found == m_entries.end() ? std::wstring() : found->second.text;
}

CStringTable& TheStringTable() {
    static CStringTable table;
    return table;
}
