#include <gtest/gtest.h>

#include "LibLog.h"

namespace {

using namespace vesk::tsp;

TEST(LibLogTest, RecordIsUtcStampWithoutLeadingZerosThenMessage) {
    EXPECT_EQ(FormatLibLogRecord({2027, 3, 1, 9, 5, 3, 7}, L"StartTSP Begin"),
              L"\n [2027/3/1 9:5:3] StartTSP Begin");
}

TEST(LibLogTest, LongRecordIsCutToTheBuffer) {
    const std::wstring record =
        FormatLibLogRecord({2027, 12, 31, 23, 59, 59, 0}, std::wstring(5000, L'x'));
    EXPECT_EQ(record.size(), kLibLogRecordLimit);
    EXPECT_EQ(record.substr(0, 25), L"\n [2027/12/31 23:59:59] x");
}

TEST(LibLogTest, FileLiesBesideTheHostExecutable) {
    EXPECT_EQ(LibLogPathFor("/opt/Vesk/VeskUpdate"), "/opt/Vesk/Tirsa_TSP_Temp.log");
    EXPECT_EQ(LibLogPathFor("VeskUpdate"), "./Tirsa_TSP_Temp.log");
}

}  // namespace
