#include "StringTableLine.h"

#include "text/Number.h"
#include "text/Utf.h"

namespace {

constexpr char16_t kComma = u',';
constexpr char16_t kQuote = u'"';

// Walks a line column by column; every step either yields a column or says the line has
// no such column.
class ColumnReader {
public:
    explicit ColumnReader(std::u16string_view line) : m_line(line) {}

    // A plain column: up to the next comma, which must be there.
    std::optional<std::u16string_view> Plain() {
        if (!m_more) return std::nullopt;
        const size_t comma = m_line.find(kComma, m_pos);
        if (comma == std::u16string_view::npos) return std::nullopt;
        const auto column = m_line.substr(m_pos, comma - m_pos);
        m_pos = comma + 1;
        return column;
    }

    // A language column: quoted (the next column begins two characters after the closing
    // quote), or up to the next comma or the end of the line.
    std::optional<std::u16string_view> Language() {
        if (!m_more) return std::nullopt;
        if (m_pos < m_line.size() && m_line[m_pos] == kQuote) return Quoted();
        const size_t comma = m_line.find(kComma, m_pos);
        if (comma == std::u16string_view::npos) {
            m_more = false;
            return m_line.substr(m_pos);
        }
        const auto column = m_line.substr(m_pos, comma - m_pos);
        m_pos = comma + 1;
        return column;
    }

private:
    std::u16string_view Quoted() {
        const size_t open = m_pos + 1;
        const size_t close = m_line.find(kQuote, open);
        if (close == std::u16string_view::npos) {
            m_more = false;  // an unclosed quote runs to the end of the line
            return m_line.substr(open);
        }
        m_pos = close + 2;
        m_more = m_pos <= m_line.size();
        return m_line.substr(open, close - open);
    }

    std::u16string_view m_line;
    size_t m_pos = 0;
    bool m_more = true;
};

}  // namespace

std::optional<StringTableEntry> ParseStringTableLine(std::u16string_view line, int column) {
    ColumnReader reader(line);
    const auto key = reader.Plain();
    const auto second = reader.Plain();
    const auto number = reader.Plain();
    if (!key || !second || !number || !reader.Plain() || !reader.Plain()) return std::nullopt;
    for (int skip = 0; skip < column; ++skip)
        if (!reader.Language()) return std::nullopt;
    const auto text = reader.Language();
    if (!text) return std::nullopt;

    StringTableEntry entry;
    entry.key = vesk::text::Utf16ToWide(*key);
    entry.secondColumn = vesk::text::Utf16ToWide(*second);
    entry.thirdColumn = vesk::text::ParseDecimalInt(vesk::text::Utf16ToWide(*number));
    entry.text = vesk::text::Utf16ToWide(*text);
    return entry;
}
