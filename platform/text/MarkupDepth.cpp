#include "text/MarkupDepth.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <unordered_set>
#include <vector>

namespace vesk::text {
namespace {

constexpr std::size_t kFailed = std::string_view::npos;

enum class Encoding { Unknown, Utf8, Legacy };

// How many bytes the parser takes for a character starting with this byte in UTF-8.
int Utf8Length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

// Character classes exactly as the parser asks the C library for them.
bool IsWhiteSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || c == '\n' || c == '\r';
}

bool IsAlpha(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 127 || std::isalpha(byte);
}

bool IsNameChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 127 || std::isalnum(byte) || c == '_' || c == '-' || c == '.' || c == ':';
}

// The parser lowers the byte as a plain, signed char; the C library takes negative bytes too.
int ToLower(char c) {
    return std::tolower(static_cast<int>(c));
}

bool HasPrefixIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (ToLower(text[i]) != ToLower(prefix[i])) return false;
    return true;
}

enum class Node { Declaration, Comment, CharacterData, Unknown, Element };

// Walks markup as the parser reads it, without building anything. Positions move exactly as
// the parser's pointer does, including its jumps over multi-byte characters and character
// references; kFailed is where the parser gives up, which ends the whole parse.
class ParserWalk {
public:
    explicit ParserWalk(std::string_view markup) : markup_(markup) {}

    std::size_t MostAttributes() const { return mostAttributes_; }

    std::size_t Deepest(std::size_t stopAbove) {
        if (!At(0)) return 0;
        if (At(0) == '\xEF' && At(1) == '\xBB' && At(2) == '\xBF') encoding_ = Encoding::Utf8;
        std::vector<std::string_view> open;  // elements whose content is being read
        std::size_t deepest = 0;
        for (std::size_t i = SkipWhiteSpace(0); At(i); i = SkipWhiteSpace(i)) {
            if (At(i) != '<') {
                if (open.empty()) break;  // text outside every element ends the document
                i = ReadText(i, "<", true, nullptr);
                if (i == kFailed) break;
                --i;  // the text ends before its '<'
                continue;
            }
            if (!open.empty() && At(i + 1) == '/') {
                // "</name" and then, after any white space, '>'.
                const std::string_view name = open.back();
                if (!StartsWith(i + 2, name)) break;
                i = SkipWhiteSpace(i + 2 + name.size());
                if (At(i) != '>') break;
                ++i;
                open.pop_back();
                continue;
            }
            switch (Identify(i)) {
                case Node::Element: {
                    deepest = std::max(deepest, open.size() + 1);
                    if (deepest > stopAbove) return deepest;
                    std::string_view name;
                    bool empty = false;
                    i = ReadStartTag(i, name, empty);
                    if (i != kFailed && !empty) open.push_back(name);
                    break;
                }
                case Node::Declaration:
                    i = ReadDeclaration(i);
                    if (open.empty() && encoding_ == Encoding::Unknown) encoding_ = Declared();
                    break;
                case Node::Comment:  // read byte by byte: references mean nothing inside
                    for (i += 4; At(i) && !StartsWith(i, "-->");) ++i;
                    if (At(i)) i += 3;
                    break;
                case Node::CharacterData:
                    for (i += 9; At(i) && !StartsWith(i, "]]>");) ++i;
                    i = ReadText(i, "]]>", false, nullptr);
                    break;
                case Node::Unknown:
                    for (++i; At(i) && At(i) != '>';) ++i;
                    if (At(i) == '>') ++i;
                    break;
            }
            if (i == kFailed) break;
        }
        return deepest;
    }

private:
    char At(std::size_t i) const { return i < markup_.size() ? markup_[i] : '\0'; }

    bool StartsWith(std::size_t i, std::string_view prefix, bool ignoreCase = false) const {
        for (const char expected : prefix) {
            const char c = At(i++);
            if (!c || (ignoreCase ? ToLower(c) != ToLower(expected) : c != expected)) return false;
        }
        return true;
    }

    bool IsByteOrderMark(std::size_t i) const {
        return At(i) == '\xEF' &&
               ((At(i + 1) == '\xBB' && At(i + 2) == '\xBF') ||
                (At(i + 1) == '\xBF' && (At(i + 2) == '\xBE' || At(i + 2) == '\xBF')));
    }

    std::size_t SkipWhiteSpace(std::size_t i) const {
        while (At(i)) {
            if (encoding_ == Encoding::Utf8 && IsByteOrderMark(i))
                i += 3;
            else if (IsWhiteSpace(At(i)))
                ++i;
            else
                break;
        }
        return i;
    }

    Node Identify(std::size_t i) const {
        if (StartsWith(i, "<?xml", true)) return Node::Declaration;
        if (StartsWith(i, "<!--")) return Node::Comment;
        if (StartsWith(i, "<![CDATA[")) return Node::CharacterData;
        if (StartsWith(i, "<!")) return Node::Unknown;
        if (IsAlpha(At(i + 1)) || At(i + 1) == '_') return Node::Element;
        return Node::Unknown;
    }

    std::size_t ReadName(std::size_t i) const {
        if (!IsAlpha(At(i)) && At(i) != '_') return kFailed;
        while (At(i) && IsNameChar(At(i))) ++i;
        return i;
    }

    // A character reference jumps to the first ';' after it when only digits lie between
    // that ';' and the nearest 'x' (or '#') before it, whatever else it passes on the way.
    std::size_t ReadReference(std::size_t i, std::string* value) const {
        static constexpr struct {
            std::string_view text;
            char c;
        } kNamed[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        if (At(i + 1) == '#' && At(i + 2)) {
            const bool hex = At(i + 2) == 'x';
            if (hex && !At(i + 3)) return kFailed;
            std::size_t end = i + (hex ? 3 : 2);
            while (At(end) && At(end) != ';') ++end;
            if (!At(end)) return kFailed;
            unsigned long code = 0;
            unsigned long scale = 1;
            for (std::size_t k = end - 1; At(k) != (hex ? 'x' : '#'); --k) {
                const char c = At(k);
                unsigned long digit = 0;
                if (c >= '0' && c <= '9')
                    digit = static_cast<unsigned long>(c - '0');
                else if (hex && c >= 'a' && c <= 'f')
                    digit = static_cast<unsigned long>(c - 'a' + 10);
                else if (hex && c >= 'A' && c <= 'F')
                    digit = static_cast<unsigned long>(c - 'A' + 10);
                else
                    return kFailed;
                code += scale * digit;
                scale *= hex ? 16 : 10;
            }
            // Values are only kept while no encoding is known, when the parser keeps one byte.
            if (value) value->push_back(static_cast<char>(code));
            return end + 1;
        }
        for (const auto& named : kNamed) {
            if (!StartsWith(i, named.text)) continue;
            if (value) value->push_back(named.c);
            return i + named.text.size();
        }
        return i + 1;  // the parser drops an '&' that starts no reference
    }

    std::size_t ReadChar(std::size_t i, std::string* value) const {
        const int length =
            encoding_ == Encoding::Utf8 ? Utf8Length(static_cast<unsigned char>(At(i))) : 1;
        if (length == 1 && At(i) == '&') return ReadReference(i, value);
        if (value) {
            // The parser copies up to a zero and keeps the rest of the character as zeros.
            bool ended = false;
            for (std::size_t k = 0; k < static_cast<std::size_t>(length); ++k) {
                ended = ended || !At(i + k);
                value->push_back(ended ? '\0' : At(i + k));
            }
        }
        return i + static_cast<std::size_t>(length);
    }

    // Text up to and past end; trim is the parser's reading of element text, where white
    // space is passed over byte by byte.
    std::size_t ReadText(std::size_t i, std::string_view end, bool trim, std::string* value) const {
        if (value) value->clear();
        if (trim) i = SkipWhiteSpace(i);
        while (At(i) && !StartsWith(i, end)) {
            if (trim && IsWhiteSpace(At(i)))
                ++i;
            else if ((i = ReadChar(i, value)) == kFailed)
                return kFailed;
        }
        if (!At(i)) return kFailed;
        i += end.size();
        return At(i) ? i : kFailed;
    }

    std::size_t ReadAttribute(std::size_t i, std::string_view* name, std::string* value) const {
        i = SkipWhiteSpace(i);
        const std::size_t nameStart = i;
        i = ReadName(i);
        if (i == kFailed || !At(i)) return kFailed;
        if (name) *name = markup_.substr(nameStart, i - nameStart);
        i = SkipWhiteSpace(i);
        if (At(i) != '=') return kFailed;
        i = SkipWhiteSpace(i + 1);
        if (!At(i)) return kFailed;
        if (At(i) == '\'') return ReadText(i + 1, "'", false, value);
        if (At(i) == '"') return ReadText(i + 1, "\"", false, value);
        if (value) value->clear();
        for (; At(i) && !IsWhiteSpace(At(i)) && At(i) != '/' && At(i) != '>'; ++i) {
            if (At(i) == '\'' || At(i) == '"') return kFailed;
            if (value) value->push_back(At(i));
        }
        return i;
    }

    // Up to the first '>' that is not inside the quoted value of one of the declaration's
    // three known attributes.
    std::size_t ReadDeclaration(std::size_t i) {
        declared_.clear();
        for (i += 5; At(i);) {
            if (At(i) == '>') return i + 1;
            i = SkipWhiteSpace(i);
            if (!At(i)) return kFailed;
            if (StartsWith(i, "version", true) || StartsWith(i, "standalone", true))
                i = ReadAttribute(i, nullptr, nullptr);
            else if (StartsWith(i, "encoding", true))
                i = ReadAttribute(i, nullptr, &declared_);
            else
                while (At(i) && At(i) != '>' && !IsWhiteSpace(At(i))) ++i;
            if (i == kFailed) return kFailed;
        }
        return kFailed;
    }

    Encoding Declared() const {
        const std::string_view name(declared_.c_str());  // the parser sees it up to a zero
        if (name.empty() || HasPrefixIgnoringCase(name, "UTF-8") ||
            HasPrefixIgnoringCase(name, "UTF8"))
            return Encoding::Utf8;
        return Encoding::Legacy;
    }

    // Past the start tag; empty tells "<a/>" from "<a>". A repeated attribute ends the parse.
    std::size_t ReadStartTag(std::size_t i, std::string_view& name, bool& empty) {
        i = SkipWhiteSpace(i + 1);
        const std::size_t nameStart = i;
        i = ReadName(i);
        if (i == kFailed || !At(i)) return kFailed;
        name = markup_.substr(nameStart, i - nameStart);
        std::unordered_set<std::string_view> attributes;
        while (At(i)) {
            i = SkipWhiteSpace(i);
            if (!At(i)) return kFailed;
            if (At(i) == '/') {
                empty = true;
                return At(i + 1) == '>' ? i + 2 : kFailed;
            }
            if (At(i) == '>') {
                empty = false;
                return i + 1;
            }
            std::string_view attribute;
            i = ReadAttribute(i, &attribute, nullptr);
            if (i == kFailed || !At(i) || !attributes.insert(attribute).second) return kFailed;
            mostAttributes_ = std::max(mostAttributes_, attributes.size());
        }
        return kFailed;
    }

    std::string_view markup_;
    Encoding encoding_ = Encoding::Unknown;
    std::string declared_;            // the encoding the last declaration named
    std::size_t mostAttributes_ = 0;  // on one start tag, as far as the walk went
};

}  // namespace

std::size_t MarkupDepth(std::string_view markup, std::size_t stopAbove) {
    return ParserWalk(markup).Deepest(stopAbove);
}

std::size_t MostAttributes(std::string_view markup) {
    ParserWalk walk(markup);
    walk.Deepest(std::string_view::npos);
    return walk.MostAttributes();
}

bool MarkupDepthWithin(std::string_view markup, std::size_t maxDepth) {
    return MarkupDepth(markup, maxDepth) <= maxDepth;
}

}  // namespace vesk::text
