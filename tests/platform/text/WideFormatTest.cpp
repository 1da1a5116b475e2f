#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "text/WideFormat.h"

using namespace vesk::text;

namespace {

struct FormatRow {
    std::wstring_view format;
    std::vector<FormatArg> args;
    std::wstring_view expected;
};

const wchar_t* const kNullText = nullptr;
constexpr std::int64_t kMinusOne64 = -1;

const FormatRow kRows[] = {
    {L"%2.1f", {3.14159}, L"3.1"},
    {L"%5d|%-5d|%05d", {42, 42, 42}, L"   42|42   |00042"},
    {L"%s", {kNullText}, L"(null)"},
    {L"100%%", {}, L"100%"},
    {L"%s, %s!",
     {L"Hello", std::wstring_view(L"W\u00F6rld \U0001F600")},
     L"Hello, W\u00F6rld \U0001F600!"},
    {L"[%5s][%-5s][%.2s][%-4.1s]", {L"ab", L"ab", L"abcdef", L"xyz"}, L"[   ab][ab   ][ab][x   ]"},
    {L"%x %X %o %#x %#o", {255, 255, 8, 255, 8}, L"ff FF 10 0xff 010"},
    {L"%+d % d %+d %.3d", {5, 5, -5, 7}, L"+5  5 -5 007"},
    {L"%*d|%-*d|%*d", {4, 7, 3, 7, -3, 7}, L"   7|7  |7  "},
    {L"%.*f|%.*f", {2, 1.0, -1, 1.0}, L"1.00|1.000000"},
    {L"%e %E %g %G", {12345.678, 0.5, 0.0001, 1e20}, L"1.234568e+04 5.000000E-01 0.0001 1E+20"},
    {L"%08.3f|%-8.2f|%+.0f", {3.14159, 2.5, 7.0}, L"0003.142|2.50    |+7"},
    {L"%c%c%3c%-3c|", {L'A', 0x20AC, L'b', L'c'}, L"A\u20AC  bc  |"},
    {L"%hd %ld %lu %lld %I64d %I64u %wc %ls %ws",
     {1, 2L, 3UL, 4LL, std::int64_t{1} << 40, 6u, L'w', L"x", L"y"},
     L"1 2 3 4 1099511627776 6 w x y"},
    {L"%u %x", {-1, -2}, L"4294967295 fffffffe"},
    {L"%I64u %llx", {kMinusOne64, kMinusOne64}, L"18446744073709551615 ffffffffffffffff"},
    {L"%x", {std::numeric_limits<std::int64_t>::min()}, L"8000000000000000"},
    {L"%d %i",
     {std::numeric_limits<std::uint64_t>::max(), std::numeric_limits<std::int64_t>::min()},
     L"18446744073709551615 -9223372036854775808"},
    // Mismatched arguments never read stray memory.
    {L"%d|%f|%x", {L"text", L"text", kNullText}, L"0|0.000000|0"},
    {L"%s|%5s|%s", {42, 3u, -7}, L"42|    3|-7"},
    {L"%d|%f|%s", {2.9, 2, 0.5}, L"2|2.000000|0.5"},
    {L"%d %d [%s]", {1}, L"1  []"},
    {L"%c|%c", {0, L"xy"}, L"|x"},
    // Unknown conversions are written out and take no argument.
    {L"%q %d %-5y %*k %d", {5, 6}, L"%q 5 %-5y %*k 6"},
    {L"50%", {}, L"50%"},
    {L"tail %5", {1}, L"tail %5"},
    {L"no directives", {1, 2}, L"no directives"},
};

TEST(WideFormat, FormatsWithWindowsConventions) {
    for (const FormatRow& row : kRows) {
        EXPECT_EQ(FormatWideArgs(row.format, row.args), row.expected)
            << testing::PrintToString(row.format);
    }
}

TEST(WideFormat, TemplateFormPassesTypedArguments) {
    const std::wstring name = L"VeskClient.exe";
    EXPECT_EQ(FormatWide(L"%s: %d of %u (%.1f%%)", name, -3, 10u, 42.25f),
              L"VeskClient.exe: -3 of 10 (42.2%)");
    EXPECT_EQ(FormatWide(L"plain"), L"plain");
}

TEST(WideFormat, HugeWidthsAndPrecisionsAreCapped) {
    EXPECT_EQ(FormatWide(L"%999999999d", 1).size(), 4096u);
    EXPECT_EQ(FormatWide(L"%*s", 2000000000, L"x").size(), 4096u);
    EXPECT_EQ(FormatWide(L"%*s", std::numeric_limits<std::int64_t>::min(), L"x").size(), 4096u);
    EXPECT_EQ(FormatWide(L"%.999999999s", L"abc"), L"abc");
}

}  // namespace
