#include <gtest/gtest.h>

#include <climits>
#include <clocale>

#include "text/Number.h"

using namespace vesk::text;

namespace {

struct ParseRow {
    std::wstring_view text;
    int value;
};

const ParseRow kParseRows[] = {
    {L"42", 42},
    {L"  -12abc", -12},
    {L"\t\r\n\v\f+7", 7},
    {L"12 34", 12},
    {L"", 0},
    {L"x", 0},
    {L"-", 0},
    {L"+-3", 0},
    {L"- 3", 0},
    {L"\u0663", 0},  // digits of other scripts are not read
    {L"2147483647", INT_MAX},
    {L"2147483648", INT_MAX},
    {L"99999999999999999999999", INT_MAX},
    {L"-2147483648", INT_MIN},
    {L"-2147483649", INT_MIN},
    {L"-99999999999999999999999", INT_MIN},
    {L"0000000000000000000000012", 12},
};

TEST(Number, ParsesAsTheRunTimeDoesAndClamps) {
    for (const ParseRow& row : kParseRows) {
        EXPECT_EQ(ParseDecimalInt(row.text), row.value) << testing::PrintToString(row.text);
    }
}

TEST(Number, IsDecimalIntWantsTheWholeText) {
    for (const std::wstring_view yes : {L"0", L"-5", L"+12", L"99999999999999999999"}) {
        EXPECT_TRUE(IsDecimalInt(yes)) << testing::PrintToString(yes);
    }
    for (const std::wstring_view no : {L"", L"-", L"+", L" 1", L"1 ", L"1a", L"--1", L"1.0"}) {
        EXPECT_FALSE(IsDecimalInt(no)) << testing::PrintToString(no);
    }
}

}  // namespace

namespace {

struct ClassicRow {
    std::wstring_view text;
    double value;
};

const ClassicRow kClassicRows[] = {
    {L"0.250000", 0.25}, {L"  1.000000", 1.0}, {L"+0.5", 0.5}, {L"-2.5e1x", -25.0},
    {L"0,250000", 0.0},  {L"", 0.0},           {L"abc", 0.0},  {L".5", 0.5},
    {L"1e", 1.0},        {L"1e999", 0.0},      {L"--1", 0.0},  {L"0.75%", 0.75},
};

// The progress fraction is written in the "C" locale and must read back the same under a
// locale that writes a decimal comma, which the updater takes from the user's settings.
TEST(ParseClassicDouble, ReadsThePointWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
        SCOPED_TRACE(locale);
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr)
            << "the locale is missing: scripts/setup makes it";
        for (const ClassicRow& row : kClassicRows)
            EXPECT_DOUBLE_EQ(ParseClassicDouble(row.text), row.value)
                << std::string(row.text.begin(), row.text.end());
    }
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
