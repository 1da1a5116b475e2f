#include <gtest/gtest.h>

#include <filesystem>

#include "ChildProcess.h"
#include "ProcessIsRunning.h"
#include "RunningClient.h"
#include "TempDir.h"
#include "fs/Paths.h"

namespace {

struct NameCase {
    const wchar_t* program;
    const wchar_t* process;
    bool running;
};

const NameCase kNames[] = {
    {L"/opt/vesk/VeskClient.exe", L"VeskClient.exe", true},
    {L"/opt/vesk/VeskClient.exe", L"veskclient.EXE", true},  // the whole name ignores case
    {L"/opt/vesk/VeskClient.exe", L"VeskClient2.exe", true},
    {L"/opt/vesk/VeskClient.exe", L"VeskClient12.dll", true},
    {L"/opt/vesk/VeskClient.exe", L"VeskClient-1.exe", true},
    {L"/opt/vesk/VeskClient.exe", L"VeskClient0.exe", false},  // zero is no copy number
    {L"/opt/vesk/VeskClient.exe", L"VeskClientX.exe", false},
    {L"/opt/vesk/VeskClient.exe", L"veskclient2.exe", false},  // the stem keeps case
    {L"/opt/vesk/VeskClient.exe", L"VeskClient2", false},      // no dot, no copy
    {L"/opt/vesk/VeskClient.exe", L"Vesk.exe", false},
    {L"/opt/vesk/ab", L"7.exe", false},  // a name too short to have ".exe" has no copies
    {L"firefox.exe", L"firefox.exe", true},
};

TEST(ProcessIsRunning, NameRuleCountsNumberedCopies) {
    for (const auto& c : kNames)
        EXPECT_EQ(ProcessMatchesName(c.program, c.process), c.running)
            << std::filesystem::path(c.program) << " vs " << std::filesystem::path(c.process);
}

TEST(ProcessIsRunning, FullPathMatchesOnlyTheSameFolder) {
    vesk::test::TempDir here, elsewhere;
    vesk::test::RunningClient client(here.path());

    std::optional<int> pid;
    EXPECT_TRUE(ProcessIsRunning(here.wide() + L"VeskClient.exe", &pid, true));
    EXPECT_EQ(pid, client.pid());
    EXPECT_FALSE(ProcessIsRunning(elsewhere.wide() + L"VeskClient.exe", nullptr, true));
    EXPECT_TRUE(ProcessIsRunning(elsewhere.wide() + L"VeskClient.exe", nullptr, false));
}

TEST(ProcessIsRunning, NumberedCopyCountsByName) {
    vesk::test::TempDir here, elsewhere;
    vesk::test::RunningClient copy(here.path(), "VeskStandIn7.exe");
    EXPECT_TRUE(ProcessIsRunning(elsewhere.wide() + L"VeskStandIn.exe", nullptr, false));
    EXPECT_FALSE(ProcessIsRunning(elsewhere.wide() + L"VeskStandIn.exe", nullptr, true));
}

}  // namespace
