#include "text/AnsiCodePage.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <new>

#include "text/Utf.h"

namespace vesk::text {
namespace {

constexpr const char* kWideCodeSet = "WCHAR_T";

// iconv descriptors carry conversion state and must not be shared between threads, so
// each thread keeps its own, reopened only when the character set changes.
class Converter {
public:
    Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() { Close(); }

    // Returns nullptr when iconv does not know one of the sets.
    iconv_t Get(const std::string& to, const std::string& from) {
        if (m_open && to == m_to && from == m_from) {
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
            return m_cd;
        }
        Close();
        iconv_t cd = iconv_open(to.c_str(), from.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
        m_cd = cd, m_open = true, m_to = to, m_from = from;
        return m_cd;
    }

private:
    void Close() {
        if (m_open) iconv_close(m_cd);
        m_open = false;
    }

    iconv_t m_cd{};
    bool m_open = false;
    std::string m_to;
    std::string m_from;
};

thread_local Converter t_toNarrow;
thread_local Converter t_toWide;

// Runs one iconv step; returns the errno it ended with, or 0 when all input was taken.
int Step(iconv_t cd, const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
    char* inPtr = const_cast<char*>(in);
    const std::size_t result = iconv(cd, &inPtr, &inLeft, &out, &outLeft);
    in = inPtr;
    return result == static_cast<std::size_t>(-1) ? errno : 0;
}

// The target set's own spelling of the default character, so the fallback also works for
// sets that are not ASCII-compatible.
std::string DefaultCharIn(iconv_t cd) {
    char buffer[16];
    const wchar_t question = L'?';
    const char* in = reinterpret_cast<const char*>(&question);
    std::size_t inLeft = sizeof question;
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const bool ok = Step(cd, in, inLeft, out, outLeft) == 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return ok ? std::string(buffer, static_cast<std::size_t>(out - buffer)) : std::string("?");
}

// Used when iconv cannot open the set at all: ASCII survives, the rest becomes "?".
std::string WideToAsciiFallback(std::wstring_view wide, std::size_t maxBytes) {
    std::string out;
    for (wchar_t c : wide) {
        if (out.size() >= maxBytes) break;
        out.push_back(c >= 0 && c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

// Makes room for need more bytes after used, growing towards maxBytes; false when the limit
// leaves no room.
bool EnsureRoom(std::string& out, std::size_t used, std::size_t need, std::size_t maxBytes) {
    if (maxBytes - used < need || used > maxBytes) return false;
    if (out.size() - used < need) {
        out.resize(std::min(maxBytes, std::max(out.size() * 2, used + need)));
    }
    return true;
}

std::string Narrow(iconv_t cd, std::wstring_view wide, std::size_t maxBytes) {
    const std::string fallback = DefaultCharIn(cd);
    std::string out(std::min(maxBytes, wide.size() * 4 + 16), '\0');
    const char* in = reinterpret_cast<const char*>(wide.data());
    std::size_t inLeft = wide.size() * sizeof(wchar_t);
    std::size_t used = 0;
    int error = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        error = Step(cd, in, inLeft, outPtr, outLeft);
        used = out.size() - outLeft;
        if (error == 0) break;
        if (error == E2BIG) {
            // iconv stops before a character that does not fit, so cutting here is safe.
            if (!EnsureRoom(out, used, out.size() - used + 1, maxBytes)) break;
        } else {
            if (!EnsureRoom(out, used, fallback.size(), maxBytes)) break;
            out.replace(used, fallback.size(), fallback);
            used += fallback.size();
            in += sizeof(wchar_t);
            inLeft -= std::min(inLeft, sizeof(wchar_t));
            error = 0;
        }
    }
    // Sets with shift states end in their initial state; room permitting.
    if (error == 0 && EnsureRoom(out, used, 8, maxBytes)) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
            used = out.size() - outLeft;
        }
    }
    out.resize(used);
    return out;
}

std::wstring Widen(iconv_t cd, std::string_view ansi) {
    std::wstring out;
    std::wstring chunk(ansi.size() + 16, L'\0');
    const char* in = ansi.data();
    std::size_t inLeft = ansi.size();
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(chunk.data());
        std::size_t outLeft = chunk.size() * sizeof(wchar_t);
        const int error = Step(cd, in, inLeft, outPtr, outLeft);
        out.append(chunk.data(), chunk.size() - outLeft / sizeof(wchar_t));
        if (error == 0 || error == E2BIG) continue;
        out.push_back(kReplacementChar);
        // A sequence cut off by the end of the input is one bad character, not several.
        if (error == EINVAL) break;
        ++in, --inLeft;
    }
    return out;
}

}  // namespace

std::string AnsiCodeSet() {
    // The returned text may change with the next setlocale, so it is copied at once.
    const char* name = nl_langinfo(CODESET);
    return std::string(name && *name ? name : "ANSI_X3.4-1968");
}

std::string WideToAnsi(std::wstring_view wide, std::size_t maxBytes) {
    try {
        return WideToCodeSet(wide, AnsiCodeSet().c_str(), maxBytes);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::string WideToCodeSet(std::wstring_view wide, const char* codeSet, std::size_t maxBytes) {
    try {
        if (!codeSet) return WideToAsciiFallback(wide, maxBytes);
        iconv_t cd = t_toNarrow.Get(codeSet, kWideCodeSet);
        if (!cd) return WideToAsciiFallback(wide, maxBytes);
        return Narrow(cd, wide, maxBytes);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::wstring AnsiToWide(std::string_view ansi) {
    try {
        iconv_t cd = t_toWide.Get(kWideCodeSet, AnsiCodeSet());
        if (!cd) {
            std::wstring out;
            for (unsigned char c : ansi)
                out.push_back(c < 0x80 ? static_cast<wchar_t>(c) : kReplacementChar);
            return out;
        }
        return Widen(cd, ansi);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace vesk::text
