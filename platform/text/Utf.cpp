#include "text/Utf.h"

namespace vesk::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEscapeBase = 0xDC00;  // + a byte of 0x80..0xFF

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
bool IsScalar(char32_t c) {
    return c <= 0x10FFFF && !IsSurrogate(c);
}

// Decodes one UTF-8 sequence at text[i]; returns false (and the length to skip) when it is
// malformed, overlong, a surrogate or beyond U+10FFFF.
bool DecodeUtf8(std::string_view text, size_t i, char32_t& out, size_t& length) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    length = 1;
    if (lead < 0x80) {
        out = lead;
        return true;
    }
    size_t need = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        need = 1, min = 0x80, out = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        need = 2, min = 0x800, out = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        need = 3, min = 0x10000, out = lead & 0x07;
    } else {
        return false;
    }
    for (size_t k = 1; k <= need; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return false;
        out = (out << 6) | (byte(i + k) & 0x3F);
        length = k + 1;
    }
    return out >= min && IsScalar(out);
}

enum class Undecodable { Refuse, Replace, Escape };

template <Undecodable Mode>
bool Utf8ToWideImpl(std::string_view utf8, std::wstring& out) {
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        size_t length = 0;
        if (!DecodeUtf8(utf8, i, c, length)) {
            if constexpr (Mode == Undecodable::Refuse) return false;
            if constexpr (Mode == Undecodable::Escape) {
                // Only the first byte: the rest may start a valid sequence of its own.
                c = kEscapeBase + static_cast<unsigned char>(utf8[i]);
                length = 1;
            } else {
                c = kReplacement;
            }
        }
        out.push_back(static_cast<wchar_t>(c));
        i += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

template <bool Strict>
bool WideToUtf8Impl(std::wstring_view wide, std::string& out) {
    out.reserve(wide.size());
    for (wchar_t w : wide) {
        char32_t c = static_cast<char32_t>(w);
        if (!IsScalar(c)) {
            if (Strict) return false;
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return true;
}

template <bool Strict>
bool Utf16ToWideImpl(std::u16string_view utf16, std::wstring& out) {
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (IsSurrogate(c)) {
            if (Strict) return false;
            c = kReplacement;
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return true;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
    std::wstring out;
    Utf8ToWideImpl<Undecodable::Replace>(utf8, out);
    return out;
}

std::optional<std::wstring> Utf8ToWideStrict(std::string_view utf8) {
    std::wstring out;
    if (!Utf8ToWideImpl<Undecodable::Refuse>(utf8, out)) return std::nullopt;
    return out;
}

std::string WideToUtf8(std::wstring_view wide) {
    std::string out;
    WideToUtf8Impl<false>(wide, out);
    return out;
}

std::optional<std::string> WideToUtf8Strict(std::wstring_view wide) {
    std::string out;
    if (!WideToUtf8Impl<true>(wide, out)) return std::nullopt;
    return out;
}

std::wstring NativeBytesToWide(std::string_view bytes) {
    std::wstring out;
    Utf8ToWideImpl<Undecodable::Escape>(bytes, out);
    return out;
}

std::string WideToNativeBytes(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t w : wide) {
        const char32_t c = static_cast<char32_t>(w);
        if (IsEscapedByte(w)) {
            out.push_back(static_cast<char>(c - kEscapeBase));
        } else {
            AppendUtf8(out, IsScalar(c) ? c : kReplacement);
        }
    }
    return out;
}

bool IsEscapedByte(wchar_t c) {
    const auto code = static_cast<char32_t>(c);
    return code >= kEscapeBase + 0x80 && code <= kEscapeBase + 0xFF;
}

std::wstring Utf16ToWide(std::u16string_view utf16) {
    std::wstring out;
    Utf16ToWideImpl<false>(utf16, out);
    return out;
}

std::optional<std::wstring> Utf16ToWideStrict(std::u16string_view utf16) {
    std::wstring out;
    if (!Utf16ToWideImpl<true>(utf16, out)) return std::nullopt;
    return out;
}

std::u16string WideToUtf16(std::wstring_view wide) {
    std::u16string out;
    out.reserve(wide.size());
    for (wchar_t w : wide) {
        char32_t c = static_cast<char32_t>(w);
        if (!IsScalar(c)) c = kReplacement;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::u16string Utf16LeBytesToUnits(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return units;
}

std::string UnitsToUtf16LeBytes(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

}  // namespace vesk::text
