#include <gtest/gtest.h>

#include "PercentEncode.h"

namespace {

TEST(PercentEncodeTest, EncodesReservedSpacesControlsAndNonAscii) {
    struct Row {
        const wchar_t* input;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"C:\\Games\\x y", L"C%3a%5cGames%5cx%20y"},
        {L"http://h/p?a=1", L"http%3a%2f%2fh%2fp%3fa%3d1"},
        {L"a-b_c.d~e", L"a-b_c.d%7ee"},
        {L"", L""},
        {L"AZaz09'()*-._", L"AZaz09'()*-._"},
        {L"\"<>%\\^[]`+$,@:;/!#?=&",
         L"%22%3c%3e%25%5c%5e%5b%5d%60%2b%24%2c%40%3a%3b%2f%21%23%3f%3d%26"},
        {L"{|}~", L"%7b%7c%7d%7e"},
        {L"\t\n\x7f", L"%09%0a%7f"},
        {L"/home/user/Vesk Games/tmp", L"%2fhome%2fuser%2fVesk%20Games%2ftmp"},
        {L"\u00e9", L"%c3%a9"},
        {L"\u20ac1", L"%e2%82%ac1"},
        {L"\U0001F600", L"%f0%9f%98%80"},
        {L"ok\xD800", L""},  // a lone surrogate is not Unicode
    };
    for (const Row& row : rows)
        EXPECT_EQ(vesk::tsp::PercentEncode(row.input), row.expected) << "input: " << row.input;
}

}  // namespace
