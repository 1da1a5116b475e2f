#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "CatChild.h"
#include "fs/Paths.h"
#include "process/Processes.h"

using namespace vesk::process;

namespace {

const ProcessEntry* Find(const std::vector<ProcessEntry>& processes, int pid) {
    auto it = std::find_if(processes.begin(), processes.end(),
                           [pid](const ProcessEntry& p) { return p.pid == pid; });
    return it == processes.end() ? nullptr : &*it;
}

}  // namespace

TEST(SnapshotProcesses, FindsThisProcess) {
    EXPECT_EQ(CurrentProcessId(), getpid());
    const auto processes = SnapshotProcesses();
    const ProcessEntry* self = Find(processes, CurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->exePath, vesk::fs::ExecutablePath());
    EXPECT_EQ(self->name, L"process_test");
    EXPECT_EQ(Find(processes, 0), nullptr);
}

TEST(SnapshotProcesses, FindsAStartedChildByPathAndName) {
    vesk::test::CatChild cat;
    ASSERT_GT(cat.pid(), 0);
    const auto processes = SnapshotProcesses();
    const ProcessEntry* child = Find(processes, cat.pid());
    EXPECT_EQ(cat.Finish(), 0);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->exePath, vesk::fs::WidePath(std::filesystem::canonical("/bin/cat").string()));
    EXPECT_EQ(child->name, L"cat");
}
