#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "text/Case.h"

using namespace vesk::text;

namespace {

struct CaseRow {
    std::wstring_view a;
    std::wstring_view b;
    bool equal;
};

const CaseRow kRows[] = {
    {L"Settings", L"SETTINGS", true},
    {L"", L"", true},
    {L"\u00C9t\u00C9", L"\u00E9t\u00E9", true},
    {L"\u0150z", L"\u0151Z", true},  // Latin Extended-A
    {L"abc", L"ab", false},
    {L"a", L"b", false},
    {L"\u00D7", L"\u00F7", false},  // the multiplication and division signs are no pair
    {L"[", L"{", false},            // neighbours of the letters do not fold
};

// Comparisons must not depend on the program's locale, so the "C" locale is set first.
TEST(Case, ComparesLatinLettersWithoutCaseInAnyLocale) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    for (const CaseRow& row : kRows) {
        EXPECT_EQ(EqualsNoCase(row.a, row.b), row.equal) << testing::PrintToString(row.a);
    }
    EXPECT_EQ(ToLower(L"\u00C0\u00C9\u00CE Stra\u00DFe ABC"),
              L"\u00E0\u00E9\u00EE stra\u00DFe abc");
    std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
