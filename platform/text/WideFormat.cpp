#include "text/WideFormat.h"

#include <locale.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <optional>

namespace vesk::text {
namespace {

// Widths and precisions come from format strings and "*" arguments; a wild one must not
// turn a log line into gigabytes.
constexpr int kMaxField = 4096;
constexpr std::wstring_view kNullText = L"(null)";

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    bool wide64 = false;  // "ll" or "I64": a negative number under %u/%x/%o shows 64 bits
    wchar_t conversion = 0;
    bool LeftAligned() const { return flags.find('-') != std::string::npos; }
};

class ArgReader {
public:
    explicit ArgReader(std::span<const FormatArg> args) : m_args(args) {}
    const FormatArg* Next() { return m_next < m_args.size() ? &m_args[m_next++] : nullptr; }
    std::size_t Position() const { return m_next; }
    void Rewind(std::size_t position) { m_next = position; }

private:
    std::span<const FormatArg> m_args;
    std::size_t m_next = 0;
};

// Numbers are formatted in the "C" locale whatever the program set, as the Windows run-time
// does unless told otherwise; the decimal point must not turn into a comma.
class ClassicNumbers {
public:
    ClassicNumbers() : m_old(Classic() ? uselocale(Classic()) : locale_t{}) {}
    ~ClassicNumbers() {
        if (m_old) uselocale(m_old);
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

private:
    static locale_t Classic() {
        static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
        return locale;
    }
    locale_t m_old;
};

std::int64_t ToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    if (v >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(v);
}

std::int64_t AsInt64(const FormatArg::Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
    if (const auto* u = std::get_if<std::uint64_t>(&v)) {
        return *u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                   ? std::numeric_limits<std::int64_t>::max()
                   : static_cast<std::int64_t>(*u);
    }
    if (const auto* d = std::get_if<double>(&v)) return ToInt64(*d);
    return 0;
}

double AsDouble(const FormatArg::Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* u = std::get_if<std::uint64_t>(&v)) return static_cast<double>(*u);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    return 0.0;
}

// A negative int shows as its 32-bit pattern under an unsigned conversion, as on Windows
// where int and long are 32 bits wide; 64-bit values and "ll"/"I64" show all 64.
std::uint64_t AsUnsigned(const FormatArg::Value& v, bool wide64) {
    if (const auto* u = std::get_if<std::uint64_t>(&v)) return *u;
    if (std::holds_alternative<double>(v) && std::get<double>(v) >= 0) {
        const double d = std::get<double>(v);
        return d >= 1.8446744073709552e19 ? std::numeric_limits<std::uint64_t>::max()
                                          : static_cast<std::uint64_t>(d);
    }
    const std::int64_t i = AsInt64(v);
    if (i < 0 && !wide64 && i >= std::numeric_limits<std::int32_t>::min()) {
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(i));
    }
    return static_cast<std::uint64_t>(i);
}

std::wstring Widen(const std::string& narrow) {
    return std::wstring(narrow.begin(), narrow.end());
}

// Builds "%<flags><width>.<precision><length><conversion>" for snprintf.
std::string NarrowPattern(const Directive& d, std::string_view length, char conversion) {
    std::string pattern = "%";
    pattern += d.flags;
    if (d.width >= 0) pattern += std::to_string(d.width);
    if (d.precision >= 0) {
        pattern += '.';
        pattern += std::to_string(d.precision);
    }
    pattern += length;
    pattern += conversion;
    return pattern;
}

template <class T>
std::wstring Printf(const std::string& pattern, T value) {
    ClassicNumbers classic;
    const int size = std::snprintf(nullptr, 0, pattern.c_str(), value);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), pattern.c_str(), value);
    out.resize(static_cast<std::size_t>(size));
    return Widen(out);
}

std::wstring Pad(std::wstring body, const Directive& d) {
    if (d.width < 0 || body.size() >= static_cast<std::size_t>(d.width)) return body;
    const std::size_t fill = static_cast<std::size_t>(d.width) - body.size();
    if (d.LeftAligned()) return body.append(fill, L' ');
    return body.insert(0, fill, L' ');
}

std::wstring FormatSigned(const Directive& d, const FormatArg::Value& v) {
    const auto* u = std::get_if<std::uint64_t>(&v);
    if (u && *u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        Directive plain = d;
        std::erase_if(plain.flags, [](char c) { return c == '+' || c == ' '; });
        return Printf(NarrowPattern(plain, "ll", 'u'), static_cast<unsigned long long>(*u));
    }
    return Printf(NarrowPattern(d, "ll", 'd'), static_cast<long long>(AsInt64(v)));
}

std::wstring FormatUnsigned(const Directive& d, const FormatArg::Value& v) {
    Directive plain = d;
    std::erase_if(plain.flags, [](char c) { return c == '+' || c == ' '; });
    const char conversion = static_cast<char>(d.conversion);
    return Printf(NarrowPattern(plain, "ll", conversion),
                  static_cast<unsigned long long>(AsUnsigned(v, d.wide64)));
}

std::wstring FormatFloating(const Directive& d, const FormatArg::Value& v) {
    return Printf(NarrowPattern(d, "", static_cast<char>(d.conversion)), AsDouble(v));
}

std::wstring FormatChar(const Directive& d, const FormatArg::Value& v) {
    std::wstring body;
    if (const auto* text = std::get_if<FormatArg::Text>(&v)) {
        if (!text->value.empty()) body.push_back(text->value.front());
    } else {
        const std::int64_t c = AsInt64(v);
        // A zero would cut the text short for every caller that later reads it as a C string.
        if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            body.push_back(L'\xFFFD');
        } else if (c != 0) {
            body.push_back(static_cast<wchar_t>(c));
        }
    }
    return Pad(std::move(body), d);
}

std::wstring NumberAsText(const FormatArg::Value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return std::to_wstring(*i);
    if (const auto* u = std::get_if<std::uint64_t>(&v)) return std::to_wstring(*u);
    return Printf("%g", std::get<double>(v));
}

std::wstring FormatText(const Directive& d, const FormatArg::Value& v) {
    std::wstring body;
    if (const auto* text = std::get_if<FormatArg::Text>(&v)) {
        body = text->null ? std::wstring(kNullText) : std::wstring(text->value);
    } else {
        body = NumberAsText(v);
    }
    if (d.precision >= 0 && body.size() > static_cast<std::size_t>(d.precision)) {
        body.resize(static_cast<std::size_t>(d.precision));
    }
    return Pad(std::move(body), d);
}

std::optional<std::wstring> Convert(const Directive& d, const FormatArg::Value& v) {
    switch (d.conversion) {
        case L'd':
        case L'i':
            return FormatSigned(d, v);
        case L'u':
        case L'x':
        case L'X':
        case L'o':
            return FormatUnsigned(d, v);
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G':
            return FormatFloating(d, v);
        case L'c':
            return FormatChar(d, v);
        case L's':
        case L'S':
            return FormatText(d, v);
        default:
            return std::nullopt;
    }
}

bool IsKnownConversion(wchar_t c) {
    return c != 0 && std::wstring_view(L"diuxXofFeEgGcsS%").find(c) != std::wstring_view::npos;
}

int Clamp(std::int64_t v) {
    return static_cast<int>(v > kMaxField ? kMaxField : v);
}

struct Count {
    std::int64_t value = 0;
    bool present = false;
    bool fromStar = false;
};

// Reads digits or "*" at format[i].
Count ReadCount(std::wstring_view format, std::size_t& i, ArgReader& args) {
    Count count;
    if (i < format.size() && format[i] == L'*') {
        ++i;
        const FormatArg* arg = args.Next();
        const std::int64_t v = arg ? AsInt64(arg->value()) : 0;
        // Clamped here so that negating it later cannot overflow.
        return {std::max<std::int64_t>(v, -kMaxField), true, true};
    }
    for (; i < format.size() && format[i] >= L'0' && format[i] <= L'9'; ++i) {
        count.value = std::min<std::int64_t>(count.value * 10 + (format[i] - L'0'), kMaxField);
        count.present = true;
    }
    return count;
}

bool IsFlag(wchar_t c) {
    return std::wstring_view(L"-+ 0#").find(c) != std::wstring_view::npos;
}

void ReadFlags(std::wstring_view format, std::size_t& i, Directive& d) {
    for (; i < format.size() && IsFlag(format[i]); ++i) {
        d.flags.push_back(static_cast<char>(format[i]));
    }
}

void ReadWidthAndPrecision(std::wstring_view format, std::size_t& i, ArgReader& args,
                           Directive& d) {
    const Count width = ReadCount(format, i, args);
    if (width.present && width.value < 0) {
        d.flags.push_back('-');  // a negative "*" width means left-aligned, as in printf
        d.width = Clamp(-width.value);
    } else if (width.present) {
        d.width = Clamp(width.value);
    }
    if (i < format.size() && format[i] == L'.') {
        ++i;
        const Count precision = ReadCount(format, i, args);
        // "." alone means precision 0; a negative "*" precision means none was given.
        if (precision.value >= 0) d.precision = Clamp(precision.value);
    }
}

void ReadLength(std::wstring_view format, std::size_t& i, Directive& d) {
    while (i < format.size()) {
        const std::wstring_view rest = format.substr(i);
        if (rest.starts_with(L"I64")) {
            d.wide64 = true, i += 3;
        } else if (rest.starts_with(L"I32")) {
            i += 3;
        } else if (rest.starts_with(L"ll")) {
            d.wide64 = true, i += 2;
        } else if (rest[0] == L'h' || rest[0] == L'l' || rest[0] == L'w') {
            ++i;
        } else {
            return;
        }
    }
}

// Formats the directive starting at format[start] (the "%"); returns the index after it.
std::size_t FormatDirective(std::wstring_view format, std::size_t start, ArgReader& args,
                            std::wstring& out) {
    const std::size_t argsBefore = args.Position();
    Directive d;
    std::size_t i = start + 1;
    ReadFlags(format, i, d);
    ReadWidthAndPrecision(format, i, args, d);
    ReadLength(format, i, d);
    if (i >= format.size() || !IsKnownConversion(format[i])) {
        // Not a directive after all: shown as written, and it takes no arguments.
        const std::size_t end = std::min(i + 1, format.size());
        out.append(format.substr(start, end - start));
        args.Rewind(argsBefore);
        return end;
    }
    d.conversion = format[i];
    if (d.conversion == L'%') {
        out.push_back(L'%');
    } else if (const FormatArg* arg = args.Next()) {
        if (auto text = Convert(d, arg->value())) out += *text;
    }
    return i + 1;
}

}  // namespace

std::wstring FormatWideArgs(std::wstring_view format, std::span<const FormatArg> args) {
    try {
        std::wstring out;
        out.reserve(format.size() + 16);
        ArgReader reader(args);
        for (std::size_t i = 0; i < format.size();) {
            const std::size_t percent = format.find(L'%', i);
            out.append(format.substr(i, percent - i));
            if (percent == std::wstring_view::npos) break;
            i = FormatDirective(format, percent, reader, out);
        }
        return out;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace vesk::text
