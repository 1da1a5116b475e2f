#include "text/Case.h"

#include <locale.h>
#include <wctype.h>

#include <new>

namespace vesk::text {
namespace {

// A Unicode-aware character type table of its own, so comparisons do not change with the
// program's locale (the "C" locale folds ASCII only).
locale_t UnicodeLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        return l ? l : newlocale(LC_CTYPE_MASK, "C.utf8", locale_t{});
    }();
    return locale;
}

// Without a Unicode table, at least Latin-1 capitals fold (multiplication sign excepted).
wchar_t LowerLatin1(wchar_t c) {
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
    return c;
}

wchar_t Lower(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + (L'a' - L'A'));
    if (c < 0x80) return c;
    if (const locale_t l = UnicodeLocale())
        return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), l));
    const wchar_t lower = static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
    return lower != c ? lower : LowerLatin1(c);
}

}  // namespace

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::wstring ToLower(std::wstring_view text) {
    try {
        std::wstring out(text);
        for (wchar_t& c : out) c = Lower(c);
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace vesk::text
