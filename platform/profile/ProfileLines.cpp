#include "profile/ProfileLines.h"

#include <vector>

#include "text/Case.h"
#include "text/Utf.h"

namespace vesk::profile {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileLineEnd = "\r\n";
constexpr std::wstring_view kBlanks = L" \t\r\v\f";

enum class Kind { kOther, kSection, kKey };

struct Line {
    std::size_t begin = 0;  // offset of the line's text
    std::size_t end = 0;    // offset where its text ends (before CR LF or LF)
    std::size_t next = 0;   // offset of the following line
    Kind kind = Kind::kOther;
    std::wstring name;           // trimmed section or key name
    std::size_t valueBegin = 0;  // offset of the value, blanks after "=" skipped
};

std::wstring Trim(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring_view::npos) return {};
    return std::wstring(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

std::string_view TrimLeft(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\v\f");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t';
}

void Classify(std::string_view bytes, Line& line, bool inSection) {
    const std::string_view text = bytes.substr(line.begin, line.end - line.begin);
    const std::string_view trimmed = TrimLeft(text);
    if (trimmed.starts_with(';')) return;
    if (trimmed.starts_with('[')) {
        const std::size_t close = trimmed.find(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::kSection;
            line.name = Trim(text::Utf8ToWide(trimmed.substr(1, close - 1)));
            return;
        }
    }
    const std::size_t equals = text.find('=');
    if (!inSection || equals == std::string_view::npos) return;
    line.kind = Kind::kKey;
    line.name = Trim(text::Utf8ToWide(text.substr(0, equals)));
    line.valueBegin = line.begin + equals + 1;
    while (line.valueBegin < line.end && IsBlankByte(bytes[line.valueBegin])) ++line.valueBegin;
}

std::vector<Line> ParseLines(std::string_view bytes) {
    std::vector<Line> lines;
    std::size_t pos = bytes.starts_with(kBom) ? kBom.size() : 0;
    bool inSection = false;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        Line line;
        line.begin = pos;
        line.next = newline == std::string_view::npos ? bytes.size() : newline + 1;
        line.end = newline == std::string_view::npos ? bytes.size() : newline;
        if (line.end > line.begin && bytes[line.end - 1] == '\r') --line.end;
        Classify(bytes, line, inSection);
        inSection = inSection || line.kind == Kind::kSection;
        lines.push_back(std::move(line));
        pos = lines.back().next;
    }
    return lines;
}

// Where a section and a key stand; only the first of equal names counts.
struct Location {
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t lastEntry = 0;  // the section's last key line, else its header
};

Location Locate(const std::vector<Line>& lines, std::wstring_view section, std::wstring_view key) {
    Location at;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::kSection && text::EqualsNoCase(lines[i].name, section)) {
            at.section = at.lastEntry = i;
            break;
        }
    }
    if (!at.section) return at;
    for (std::size_t i = *at.section + 1; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::kSection) break;
        if (lines[i].kind != Kind::kKey) continue;
        at.lastEntry = i;
        if (!at.key && text::EqualsNoCase(lines[i].name, key)) at.key = i;
    }
    return at;
}

std::wstring ValueOf(std::string_view bytes, const Line& line) {
    std::wstring value =
        Trim(text::Utf8ToWide(bytes.substr(line.valueBegin, line.end - line.valueBegin)));
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == L'"' || value.front() == L'\'')) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

std::string_view LineEndOf(std::string_view bytes) {
    const std::size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) return kNewFileLineEnd;
    return newline > 0 && bytes[newline - 1] == '\r' ? "\r\n" : "\n";
}

// Adds a line after another, giving that one a line end when it lacks one.
std::string InsertAfter(std::string_view bytes, const Line& after, std::string_view added,
                        std::string_view eol) {
    std::string out(bytes.substr(0, after.next));
    if (after.next == after.end) out += eol;
    out += added;
    out += bytes.substr(after.next);
    return out;
}

// A new section goes at the end, after one blank line unless the file already ends in one.
std::string AppendSection(std::string_view bytes, const std::vector<Line>& lines,
                          std::string_view added, std::string_view eol) {
    if (lines.empty()) return std::string(bytes) + std::string(added);
    const Line& last = lines.back();
    std::string section(TrimLeft(bytes.substr(last.begin, last.end - last.begin)).empty() ? ""
                                                                                          : eol);
    return InsertAfter(bytes, last, section.append(added), eol);
}

bool HasLineBreakOrNul(std::wstring_view text) {
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

}  // namespace

bool IsWritable(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const std::wstring sectionName = Trim(section);
    const std::wstring keyName = Trim(key);
    if (sectionName.empty() || keyName.empty()) return false;
    if (HasLineBreakOrNul(sectionName) || HasLineBreakOrNul(keyName) || HasLineBreakOrNul(value)) {
        return false;
    }
    if (sectionName.find(L']') != std::wstring::npos) return false;
    if (keyName.find(L'=') != std::wstring::npos) return false;
    return keyName.front() != L';' && keyName.front() != L'[';
}

std::optional<std::wstring> FindValue(std::string_view bytes, std::wstring_view section,
                                      std::wstring_view key) {
    const std::vector<Line> lines = ParseLines(bytes);
    const Location at = Locate(lines, Trim(section), Trim(key));
    if (!at.key) return std::nullopt;
    return ValueOf(bytes, lines[*at.key]);
}

std::string SetValue(std::string_view bytes, std::wstring_view section, std::wstring_view key,
                     std::wstring_view value) {
    const std::wstring sectionName = Trim(section);
    const std::wstring keyName = Trim(key);
    const std::vector<Line> lines = ParseLines(bytes);
    const Location at = Locate(lines, sectionName, keyName);
    const std::string valueText = text::WideToUtf8(value);
    if (at.key) {
        const Line& line = lines[*at.key];
        return std::string(bytes.substr(0, line.valueBegin)) + valueText +
               std::string(bytes.substr(line.end));
    }
    const std::string eol(LineEndOf(bytes));
    const std::string keyLine = text::WideToUtf8(keyName) + "=" + valueText + eol;
    if (at.section) return InsertAfter(bytes, lines[at.lastEntry], keyLine, eol);
    return AppendSection(bytes, lines, "[" + text::WideToUtf8(sectionName) + "]" + eol + keyLine,
                         eol);
}

}  // namespace vesk::profile
