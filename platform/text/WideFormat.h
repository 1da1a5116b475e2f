#pragma once
// One wide formatter with the Windows conventions the system's format strings are written
// in: "%s" takes a wide string, "%d"/"%i"/"%u"/"%x"/"%X" integers, "%f"/"%e"/"%g" doubles
// with width and precision ("%2.1f"), "%c" one character, "%%" a percent sign. Flags
// "-+ 0#", widths, precisions and "*" work as in printf; the length modifiers h, l, ll,
// I64 and w are accepted and ignored, because the arguments carry their own types. The
// one exception: a negative number under "%u"/"%x"/"%X"/"%o" shows its 32-bit pattern, as
// a Windows int does, unless ll or I64 asks for all 64 bits. Widths and precisions are
// capped at 4096, numbers always use "." as the decimal point, a "%c" of 0 writes nothing
// and an unknown conversion is written out as it stands.
//
// Arguments are typed, so a mismatch can never read stray memory: a missing argument
// formats as nothing, a number given to "%s" as its decimal text, a text given to a
// numeric conversion as 0, a null text as "(null)". Safe from any thread.

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace vesk::text {

class FormatArg {
public:
    template <std::signed_integral T>
    FormatArg(T v) : m_value(static_cast<std::int64_t>(v)) {}
    template <std::unsigned_integral T>
    FormatArg(T v) : m_value(static_cast<std::uint64_t>(v)) {}
    FormatArg(wchar_t v) : m_value(static_cast<std::int64_t>(v)) {}
    FormatArg(bool v) : m_value(static_cast<std::int64_t>(v)) {}
    FormatArg(double v) : m_value(v) {}
    FormatArg(float v) : m_value(static_cast<double>(v)) {}
    FormatArg(const wchar_t* v) : m_value(v ? Text{std::wstring_view(v)} : Text{}) {}
    FormatArg(const std::wstring& v) : m_value(Text{std::wstring_view(v)}) {}
    FormatArg(std::wstring_view v) : m_value(Text{v}) {}

    struct Text {
        std::wstring_view value;
        bool null = true;
        Text() = default;
        explicit Text(std::wstring_view v) : value(v), null(false) {}
    };
    using Value = std::variant<std::int64_t, std::uint64_t, double, Text>;
    const Value& value() const { return m_value; }

private:
    Value m_value;
};

std::wstring FormatWideArgs(std::wstring_view format, std::span<const FormatArg> args);

template <class... Args>
std::wstring FormatWide(std::wstring_view format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return FormatWideArgs(format, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return FormatWideArgs(format, list);
    }
}

}  // namespace vesk::text
