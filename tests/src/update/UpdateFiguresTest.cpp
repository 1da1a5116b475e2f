// The figures the update window shows and the client's command line, from their inputs.

#include <gtest/gtest.h>

#include "ClientLaunch.h"
#include "ProgressDisplay.h"
#include "StringTable.h"

namespace {

TEST(ProgressDisplay, AQuarterOfTwoThousandKilobytes) {
    const ProgressFigures figures = ComputeProgress(2048000, 2048000, 0, 0.25);
    EXPECT_EQ(figures.doneKb, 500);
    EXPECT_EQ(figures.totalKb, 2000);
    EXPECT_EQ(figures.position, 25);
    TheStringTable().Parse(std::string("\xFF\xFE", 2), 0);  // no texts: the line keeps its shape
    EXPECT_EQ(ProgressLine(figures), L" 500KB  2000KB.");
}

TEST(ProgressDisplay, PackagesFetchedBeforeCountAndTheBarStaysInItsRange) {
    struct Case {
        std::int64_t total, current, done;
        double fraction;
        std::int64_t doneKb;
        int position;
    };
    const Case cases[] = {
        {4096000, 2048000, 2048000, 0.5, 3000, 75},  // the second of two packages, half done
        {1000, 1000, 0, 0.5, 0, 0},                  // below 1 KB in all: nothing to divide by
        {2048, 4096, 0, 1.0, 4, 100},                // a manifest that understates the size
        {0, 0, 0, 0.0, 0, 0},
    };
    for (const Case& c : cases) {
        const ProgressFigures figures = ComputeProgress(c.total, c.current, c.done, c.fraction);
        EXPECT_EQ(figures.doneKb, c.doneKb) << c.total << " " << c.fraction;
        EXPECT_EQ(figures.position, c.position) << c.total << " " << c.fraction;
    }
}

TEST(ClientLaunch, TheClientHearsOfTheUpdatersFourArgumentsOnly) {
    EXPECT_EQ(ClientParameters({L"12", L"user", L"token", L"2"}), L"noupdate 12 user token 2");
    EXPECT_EQ(ClientParameters({L"x", L"user", L"token", L"2"}), L"noupdate 0 user token 2");
    EXPECT_EQ(ClientParameters({L"  -7", L"a", L"b", L"3rd"}), L"noupdate -7 a b 3");
    EXPECT_EQ(ClientParameters({}), L"noupdate");
    EXPECT_EQ(ClientParameters({L"1", L"2", L"3"}), L"noupdate");
    EXPECT_EQ(ClientParameters({L"1", L"2", L"3", L"4", L"5"}), L"noupdate");
}

}  // namespace
