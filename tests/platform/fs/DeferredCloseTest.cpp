#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "fs/ConfinedFolder.h"
#include "fs/DeferredClose.h"
#include "fs/ReplacementFile.h"

using namespace vesk::fs;
using vesk::test::TempDir;

namespace {

// Whether the write end of a pipe is closed: reading the other end then finds its end.
bool WriteEndClosed(int readEnd) {
    char byte = 0;
    return read(readEnd, &byte, 1) == 0;
}

// Handed-over descriptors are all closed once Drain returns, and by the end, whether the
// threads take them or the bounds send them to be closed at once.
TEST(DeferredClose, EverythingHandedOverIsClosedByDrainAndByTheEnd) {
    const std::vector<DeferredClose::Limits> limits = {
        {}, {.threads = 0}, {.threads = 1, .descriptors = 1}, {.threads = 2, .bytes = 10}};
    for (const DeferredClose::Limits& limit : limits) {
        SCOPED_TRACE(testing::Message() << "threads " << limit.threads << ", descriptors "
                                        << limit.descriptors << ", bytes " << limit.bytes);
        std::vector<int> readEnds;
        {
            DeferredClose release(limit);
            for (int i = 0; i < 20; ++i) {
                std::array<int, 2> ends{};
                ASSERT_EQ(pipe(ends.data()), 0);
                readEnds.push_back(ends[0]);
                release.Close(ends[1], 4);
            }
            release.Close(-1, 0);
            release.Drain();
            for (const int end : readEnds) EXPECT_TRUE(WriteEndClosed(end));
            std::array<int, 2> last{};
            ASSERT_EQ(pipe(last.data()), 0);
            readEnds.push_back(last[0]);
            release.Close(last[1], 4);
        }
        EXPECT_TRUE(WriteEndClosed(readEnds.back()));
        for (const int end : readEnds) close(end);
    }
}

std::uint64_t UsedBytes(const std::string& at) {
    struct statvfs info {};
    if (statvfs(at.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_blocks - info.f_bfree) * info.f_frsize;
}

constexpr int kNoMountNamespace = 77;
constexpr std::size_t kFileBytes = 600 * 1024;

// In a child with a mount namespace of its own: a 1.5 MiB file system that holds two files
// of kFileBytes, never three, and a file replaced again and again, the replaced files let go
// aside. Its new content is written beside the old, so each write must find the space of the
// file replaced before, waiting for it if need be.
int ReplaceOnAFileSystemThatHoldsOneCopy(const std::string& at) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        return kNoMountNamespace;
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, "size=1536k") != 0) return kNoMountNamespace;
    ConfinedFolder folder;
    if (ConfinedFolder::Open(std::filesystem::path(at).wstring(), L"", false, folder) !=
        ConfinedFolder::Result::Ok)
        return 1;
    const std::string content(kFileBytes, 'x');
    {
        DeferredClose release;
        for (int i = 0; i < 100; ++i) {
            ReplacementFile file;
            const auto now = std::chrono::system_clock::now();
            if (ReplacementFile::Create(folder, L"pack.bin", false, file, &release) !=
                    ReplacementFile::Result::Ok ||
                !file.Write(content.data(), content.size()) || !file.Commit(false, now, now))
                return 10 + i;
        }
    }
    // Everything replaced is freed: one file's worth is left.
    return UsedBytes(at) <= kFileBytes + 64 * 1024 ? 0 : 2;
}

TEST(DeferredClose, ReplacedFilesLetGoAsideGiveTheirSpaceBackToTheNextWrite) {
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) _exit(ReplaceOnAFileSystemThatHoldsOneCopy(dir.path().string()));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kNoMountNamespace) GTEST_SKIP() << "no mount namespace of our own";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 + n: replacement n failed; 2: space not freed";
}

}  // namespace
