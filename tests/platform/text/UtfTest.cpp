#include <gtest/gtest.h>

#include "text/Utf.h"

using namespace vesk::text;

namespace {

struct Utf8Row {
    std::string_view utf8;
    std::wstring_view lenient;
    bool strictAccepts;
};

const Utf8Row kUtf8Rows[] = {
    {"plain", L"plain", true},
    {"\xC3\xA9\xE2\x82\xAC", L"\u00E9\u20AC", true},
    {"\xF0\x9F\x98\x80", L"\U0001F600", true},
    {"\xF4\x8F\xBF\xBF", L"\U0010FFFF", true},
    {"\xC0\xAF", L"\xFFFD", false},          // overlong "/"
    {"\xE0\x80\xAF", L"\xFFFD", false},      // overlong, three bytes
    {"\xF0\x80\x80\xAF", L"\xFFFD", false},  // overlong, four bytes
    {"\xED\xA0\x80", L"\xFFFD", false},      // encoded surrogate
    {"\xF4\x90\x80\x80", L"\xFFFD", false},  // beyond U+10FFFF
    {"a\xE2\x82", L"a\xFFFD", false},        // cut off by the end
    {"\xE2\x82z", L"\xFFFDz", false},        // cut off by the next character
    {"\x80x", L"\xFFFDx", false},            // stray continuation byte
    {"\xFF\xFE", L"\xFFFD\xFFFD", false},
};

TEST(Utf, Utf8DecodesLenientlyOrRefusesStrictly) {
    for (const Utf8Row& row : kUtf8Rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.utf8)));
        EXPECT_EQ(Utf8ToWide(row.utf8), row.lenient);
        const auto strict = Utf8ToWideStrict(row.utf8);
        EXPECT_EQ(strict.has_value(), row.strictAccepts);
        if (strict) {
            EXPECT_EQ(*strict, row.lenient);
        }
    }
}

TEST(Utf, WideToUtf8ReplacesWhatIsNoCharacter) {
    EXPECT_EQ(WideToUtf8(L"a\u00E9\U0001F600"), "a\xC3\xA9\xF0\x9F\x98\x80");
    for (const wchar_t bad : {L'\xD800', L'\xDFFF', static_cast<wchar_t>(0x110000)}) {
        EXPECT_EQ(WideToUtf8(std::wstring(1, bad)), "\xEF\xBF\xBD");
        EXPECT_FALSE(WideToUtf8Strict(std::wstring(1, bad)).has_value());
    }
    EXPECT_EQ(WideToUtf8Strict(L"\u20AC"), "\xE2\x82\xAC");
}

struct NativeRow {
    std::string_view bytes;
    std::wstring_view wide;
};

const NativeRow kNativeRows[] = {
    {"/opt/Vesk \xC3\xA9\xE2\x82\xAC", L"/opt/Vesk \u00E9\u20AC"},  // UTF-8 reads as text
    {"\xFF", L"\xDCFF"},
    {"a\xC3", L"a\xDCC3"},                              // lead byte at the end
    {"\xC3/", L"\xDCC3/"},                              // lead byte before a "/"
    {"\xED\xA0\x80", L"\xDCED\xDCA0\xDC80"},            // encoded surrogate
    {"\xE2\x82\xE2\x82\xAC", L"\xDCE2\xDC82\u20AC"},    // cut off, then a whole one
    {"\xC0\xAF", L"\xDCC0\xDCAF"},                      // overlong "/" stays two bytes
    {"\xF4\x90\x80\x80", L"\xDCF4\xDC90\xDC80\xDC80"},  // beyond U+10FFFF
};

TEST(Utf, NativeBytesKeepEveryByteThroughWide) {
    for (const NativeRow& row : kNativeRows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.bytes)));
        EXPECT_EQ(NativeBytesToWide(row.bytes), row.wide);
        EXPECT_EQ(WideToNativeBytes(row.wide), row.bytes);
    }
    // Every string of up to two bytes, whatever it holds.
    for (int first = 0; first < 256; ++first) {
        for (int second = -1; second < 256; ++second) {
            std::string bytes(1, static_cast<char>(first));
            if (second >= 0) bytes.push_back(static_cast<char>(second));
            ASSERT_EQ(WideToNativeBytes(NativeBytesToWide(bytes)), bytes);
        }
    }
}

TEST(Utf, OnlyEscapesWriteSingleBytes) {
    // Other surrogates are no byte: never a "/" or a NUL sneaked into a path.
    for (const wchar_t c : {L'\xDC2F', L'\xDC00', L'\xDC7F', L'\xDD00', L'\xD800'}) {
        EXPECT_FALSE(IsEscapedByte(c));
        EXPECT_EQ(WideToNativeBytes(std::wstring(1, c)), "\xEF\xBF\xBD");
    }
    EXPECT_EQ(WideToNativeBytes(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
    // Where text is wanted, an escaped byte is a character that cannot be shown.
    EXPECT_EQ(WideToUtf8(L"a\xDCFF"), "a\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf16(L"a\xDCFF"), u"a\xFFFD");
    EXPECT_FALSE(WideToUtf8Strict(L"a\xDCFF").has_value());
}

struct Utf16Row {
    std::u16string_view utf16;
    std::wstring_view lenient;
    bool strictAccepts;
};

const Utf16Row kUtf16Rows[] = {
    {u"ab", L"ab", true},
    {u"\xD83D\xDE00", L"\U0001F600", true},
    {u"\xD83D", L"\xFFFD", false},              // high surrogate at the end
    {u"\xD83Dx", L"\xFFFDx", false},            // high surrogate without its partner
    {u"\xDE00x", L"\xFFFDx", false},            // low surrogate alone
    {u"\xDE00\xD83D", L"\xFFFD\xFFFD", false},  // pair in the wrong order
    {u"\xD83D\xD83D\xDE00", L"\xFFFD\U0001F600", false},
};

TEST(Utf, Utf16JoinsPairsAndReplacesLoneSurrogates) {
    for (const Utf16Row& row : kUtf16Rows) {
        EXPECT_EQ(Utf16ToWide(row.utf16), row.lenient);
        EXPECT_EQ(Utf16ToWideStrict(row.utf16).has_value(), row.strictAccepts);
    }
    EXPECT_EQ(WideToUtf16(L"a\U0001F600"), u"a\xD83D\xDE00");
    EXPECT_EQ(WideToUtf16(std::wstring(1, L'\xD800')), u"\xFFFD");
}

TEST(Utf, Utf16LeBytesRoundTripAndDropAnOddByte) {
    const std::string bytes("A\0\x3D\xD8\x00\xDE", 6);
    EXPECT_EQ(Utf16LeBytesToUnits(bytes), u"A\xD83D\xDE00");
    EXPECT_EQ(UnitsToUtf16LeBytes(Utf16LeBytesToUnits(bytes)), bytes);
    EXPECT_EQ(Utf16LeBytesToUnits(bytes + "\x41"), u"A\xD83D\xDE00");
}

}  // namespace
