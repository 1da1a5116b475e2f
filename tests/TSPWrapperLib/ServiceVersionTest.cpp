#include <gtest/gtest.h>

#include "ServiceVersion.h"

namespace {

TEST(ServiceVersionTest, InstalledVersionAgainstTheMinimum) {
    struct Row {
        const wchar_t* installed;
        const wchar_t* minimum;
        bool tooOld;
    };
    const Row rows[] = {
        {L"2.3.0.0", L"2.3.0.0", false},
        {L"2.2.9.9", L"2.3.0.0", true},
        {L"2.10.0.0", L"2.3.0.0", false},  // numbers, not text
        {L"2.3", L"2.3.0.0", false},       // one runs out: equal
        {L"2.3.0.0.7", L"2.3.0.0", false},
        {L"2.2", L"2.3.0.0", true},
        {L"", L"2.3.0.0", false},  // no registered version never counts as too old
        {L"3", L"", false},
        {L"2.3.", L"2.3.1", false},  // the trailing dot adds no part
        {L"2..3", L"2.0.3", false},  // the empty part reads as 0
        {L"2..3", L"2.1", true},
        {L"2.3beta.1", L"2.3.2", true},  // leading digits only
        {L"x.5", L"0.6", true},          // no digits read as 0
        {L"99999999999999999999999.0", L"99999999999999999999998.0", false},
        {L"2.03.0.0", L"2.3.0.0", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(vesk::tsp::IsServiceTooOld(row.installed, row.minimum), row.tooOld)
            << "installed " << testing::PrintToString(std::wstring(row.installed)) << " minimum "
            << testing::PrintToString(std::wstring(row.minimum));
    }
}

}  // namespace
