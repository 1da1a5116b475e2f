// Extraction by several workers at once: how entries are shared out, and that a package
// ends the same, entry for entry and file for file, as when one worker walks it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ExtractionUnits.h"
#include "PackageExtraction.h"
#include "TempDir.h"
#include "TestZip.h"

namespace {

namespace stdfs = std::filesystem;
using vesk::test::ReadFileBytes;
using vesk::test::TempDir;
using vesk::test::TestZipEntry;
using vesk::test::UnixEntry;
using vesk::test::WriteFileBytes;
using vesk::test::WriteZip;

using Units = std::vector<std::vector<std::size_t>>;

// The unit that holds position, or -1.
int UnitOf(const Units& units, std::size_t position) {
    for (std::size_t u = 0; u < units.size(); ++u) {
        if (std::find(units[u].begin(), units[u].end(), position) != units[u].end())
            return static_cast<int>(u);
    }
    return -1;
}

std::vector<ExtractionEntry> Files(
    const std::vector<std::pair<const wchar_t*, std::uint64_t>>& list) {
    std::vector<ExtractionEntry> entries;
    for (const auto& [name, size] : list) {
        const std::wstring text = name;
        const bool folder = text.back() == L'/';
        entries.push_back({static_cast<int>(entries.size()), text, folder, size});
    }
    return entries;
}

std::uint64_t WorkOf(const std::vector<ExtractionEntry>& entries,
                     const std::vector<std::size_t>& unit) {
    std::uint64_t work = 0;
    for (const std::size_t p : unit) work += ExtractionWork(entries[p]);
    return work;
}

TEST(ExtractionUnitsTest, EveryEntryOnceHeaviestUnitsFirst) {
    const auto entries = Files({{L"a", 900},
                                {L"b", 10},
                                {L"c", 800},
                                {L"same", 700},
                                {L"e", 20},
                                {L"same", 600},
                                {L"g", 30},
                                {L"h", 500}});
    const Units units = ExtractionUnits(entries);
    ASSERT_EQ(units.size(), 7u);
    std::vector<std::size_t> all;
    for (std::size_t u = 0; u < units.size(); ++u) {
        EXPECT_TRUE(std::is_sorted(units[u].begin(), units[u].end()));
        if (u > 0) {
            EXPECT_GE(WorkOf(entries, units[u - 1]), WorkOf(entries, units[u]));
        }
        all.insert(all.end(), units[u].begin(), units[u].end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(units.front(), (std::vector<std::size_t>{3, 5}));  // the two "same", together
    EXPECT_EQ(ExtractionUnits(entries), units);                  // the same every time
    EXPECT_TRUE(ExtractionUnits({}).empty());
}

// Each row: two entries whose order decides what is left must be one unit, or two that
// cannot disturb each other are two.
TEST(ExtractionUnitsTest, EntriesWhoseOrderMattersStayTogether) {
    const struct {
        const wchar_t* first;
        const wchar_t* second;
        bool together;
    } rows[] = {
        {L"same.txt", L"same.txt", true},
        {L"dir/same.txt", L"dir\\same.txt", true},
        {L"./dir//x.txt", L"dir/x.txt", true},
        {L"node", L"node/child.txt", true},  // a file where the other needs a folder
        {L"deep/node", L"deep/node/a/b.txt", true},
        {L"folder/", L"folder", true},              // a folder entry and a file of its name
        {L"folder/", L"folder/inside.txt", false},  // both only need the folder
        {L"dir/a.txt", L"dir/b.txt", false},
        {L"name", L"name2/x", false},
    };
    for (const auto& row : rows) {
        const Units units = ExtractionUnits(Files({{row.first, 1000}, {row.second, 1000}}));
        EXPECT_EQ(UnitOf(units, 0) == UnitOf(units, 1), row.together)
            << stdfs::path(row.first) << " " << stdfs::path(row.second);
    }
}

TEST(ExtractionUnitsTest, GroupsChainThroughTheirMembers) {
    // a and a/b/c meet only through a/b: all three are one unit, taken in index order.
    const auto entries =
        Files({{L"a/b/c", 10}, {L"x", 9000}, {L"a/b", 10}, {L"y", 9000}, {L"a", 10}, {L"z", 9000}});
    const Units units = ExtractionUnits(entries);
    EXPECT_EQ(units[static_cast<std::size_t>(UnitOf(units, 0))],
              (std::vector<std::size_t>{0, 2, 4}));
}

// Everything below a folder: type, permission bits, and a file's time, size and bytes' hash.
std::map<std::string, std::string> Snapshot(const stdfs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& item : stdfs::recursive_directory_iterator(folder)) {
        struct stat info {};
        EXPECT_EQ(lstat(item.path().c_str(), &info), 0);
        std::string& value = tree[stdfs::relative(item.path(), folder).string()];
        value = std::to_string(info.st_mode) + " ";
        if (S_ISREG(info.st_mode)) {
            const std::string bytes = ReadFileBytes(item.path());
            value += std::to_string(info.st_mtim.tv_sec) + " " + std::to_string(bytes.size()) +
                     " " + std::to_string(std::hash<std::string>{}(bytes));
        }
    }
    return tree;
}

// The paths on which two snapshots differ, with both values; empty when they agree.
std::vector<std::string> Differences(const std::map<std::string, std::string>& got,
                                     const std::map<std::string, std::string>& expected) {
    std::vector<std::string> differences;
    std::map<std::string, std::pair<std::string, std::string>> both;
    for (const auto& [path, value] : got) both[path].first = value;
    for (const auto& [path, value] : expected) both[path].second = value;
    for (const auto& [path, values] : both) {
        if (values.first != values.second)
            differences.push_back(path + ": " + values.first + " | " + values.second);
    }
    return differences;
}

struct Outcome {
    int index;
    std::wstring name;
    ZipResult code;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* out) {
    *out << "{" << o.index << ", " << stdfs::path(o.name) << ", 0x" << std::hex << o.code
         << std::dec << "}";
}

std::vector<Outcome> OutcomesOf(const PackageExtractionResult& result) {
    std::vector<Outcome> outcomes;
    for (const auto& f : result.failures) outcomes.push_back({f.index, f.name, f.code});
    return outcomes;
}

// Sizes from nothing to several of the reader's buffers, in folders three deep that many
// entries share, none with a folder entry of its own, so workers race to create them;
// among them the cases whose order or failure must come out as in a single walk.
std::vector<TestZipEntry> MixedPackage() {
    std::vector<TestZipEntry> entries;
    const char* folders[] = {"", "bin/", "data/", "data/maps/", "data/maps/north/", "themes/a/b/"};
    for (int i = 0; i < 240; ++i) {
        const std::size_t size = (i % 7 == 0) ? 70000 + i * 311 : (i * 977) % 5000;
        std::string data(size, static_cast<char>('a' + i % 26));
        for (std::size_t k = 0; k < data.size(); k += 97) data[k] = static_cast<char>(k * i);
        TestZipEntry entry{std::string(folders[i % 6]) + "f" + std::to_string(i) + ".dat", data};
        entry.deflate = i % 3 != 0;
        entry.dosTime = vesk::test::DosTime(10, i % 60, 0);
        entries.push_back(entry);
        // Duplicate names, heavy enough that they would be shared out apart.
        if (i % 40 == 5) entries.push_back({"data/dup.bin", std::string(90000 + i, 'd')});
        if (i % 50 == 7) entries.push_back({"data\\maps\\dup2.txt", std::to_string(i)});
    }
    TestZipEntry damaged{"data/maps/damaged.bin", std::string(60000, 'x')};
    damaged.wrongCrc = true;
    entries.push_back(damaged);
    entries.push_back({"data/maps/damaged.bin", "repaired later"});
    TestZipEntry locked = UnixEntry("bin/locked.dll", "first", 0100444);
    entries.push_back(locked);
    entries.push_back({"bin/locked.dll", "second, refused"});
    entries.push_back({"preexisting-ro.txt", "refused"});
    entries.push_back({"node", std::string(80000, 'n')});
    entries.push_back({"node/child.txt", "refused: node is a file"});
    entries.push_back({"../outside.txt", "refused"});
    TestZipEntry folder{"themes/empty/", ""};
    folder.externalAttributes = kZipAttributeDirectory;
    entries.push_back(folder);
    return entries;
}

class ParallelExtractionTest : public testing::Test {
protected:
    ParallelExtractionTest() {
        WriteZip(m_root / "p.zip", MixedPackage());
        stdfs::create_directory(m_root / "programs");
    }

    // A fresh program folder holding a read-only file the package tries to replace.
    stdfs::path NewProgram(const std::string& name) {
        const stdfs::path program = m_root / "programs" / name;
        stdfs::create_directory(program);
        WriteFileBytes(program / "preexisting-ro.txt", "kept");
        stdfs::last_write_time(program / "preexisting-ro.txt", m_written);
        stdfs::permissions(program / "preexisting-ro.txt", stdfs::perms(0444));
        return program;
    }
    PackageExtractionResult Extract(const stdfs::path& program, int workers) {
        return ExtractUpdatePackage(m_root.wide() + L"p.zip", program.wstring() + L"/", workers);
    }

    TempDir m_root;
    const stdfs::file_time_type m_written = stdfs::file_time_type::clock::now();
};

TEST_F(ParallelExtractionTest, FourWorkersEndAsOneWorkerDoes) {
    const stdfs::path single = NewProgram("single");
    const PackageExtractionResult one = Extract(single, 1);
    ASSERT_EQ(one.workers, 1);
    ASSERT_TRUE(one.opened);
    // The single walk's own results, so the comparisons below compare against the right thing.
    EXPECT_EQ(ReadFileBytes(single / "data/dup.bin"), std::string(90000 + 205, 'd'));
    EXPECT_EQ(ReadFileBytes(single / "data/maps/damaged.bin"), "repaired later");
    EXPECT_EQ(ReadFileBytes(single / "bin/locked.dll"), "first");
    EXPECT_EQ(ReadFileBytes(single / "preexisting-ro.txt"), "kept");
    EXPECT_FALSE(stdfs::exists(m_root / "programs/outside.txt"));
    const std::vector<Outcome> expected = OutcomesOf(one);
    ASSERT_EQ(expected.size(), 5u);  // damaged, locked, read-only, node/child, outside
    EXPECT_EQ(expected[0].code, kZipCorrupt);
    const auto tree = Snapshot(single);

    // Several rounds: the interleaving differs each time.
    for (int round = 0; round < 4; ++round) {
        const stdfs::path program = NewProgram("parallel" + std::to_string(round));
        const PackageExtractionResult four = Extract(program, 4);
        EXPECT_EQ(four.workers, 4);
        EXPECT_EQ(four.entries, one.entries);
        EXPECT_EQ(four.failedEntries, static_cast<int>(four.failures.size()));
        EXPECT_EQ(OutcomesOf(four), expected) << "round " << round;
        EXPECT_EQ(Differences(Snapshot(program), tree), std::vector<std::string>{})
            << "round " << round;
    }
}

TEST_F(ParallelExtractionTest, OverAnExistingCopyAsOneWorkerDoes) {
    const stdfs::path single = NewProgram("single");
    Extract(single, 1);
    const std::vector<Outcome> expected = OutcomesOf(Extract(single, 1));
    const stdfs::path program = NewProgram("parallel");
    Extract(program, 4);
    EXPECT_EQ(OutcomesOf(Extract(program, 4)), expected);
    EXPECT_EQ(Differences(Snapshot(program), Snapshot(single)), std::vector<std::string>{});
    // The last result the process keeps is the closing one, whatever a worker ended with.
    wchar_t message[32] = {};
    FormatZipResult(kZipLastResult, message, 32);
    EXPECT_STREQ(message, L"Success");
}

TEST(ParallelExtractionWorkersTest, SmallPackagesUseOneWorkerLargeOnesOnePerThread) {
    TempDir root;
    std::vector<TestZipEntry> small, large;
    for (int i = 0; i < 20; ++i) small.push_back({"s" + std::to_string(i), "tiny"});
    for (int i = 0; i < 40; ++i)
        large.push_back({"l" + std::to_string(i), std::string(300000, 'l')});
    WriteZip(root / "small.zip", small);
    WriteZip(root / "large.zip", large);
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(ExtractUpdatePackage(root.wide() + L"small.zip", root.wide() + L"s/").workers, 1);
    const PackageExtractionResult result =
        ExtractUpdatePackage(root.wide() + L"large.zip", root.wide() + L"l/");
    EXPECT_EQ(result.workers, std::min(threads, 4));  // 12 MB: enough work for four
    EXPECT_EQ(result.failedEntries, 0);
    EXPECT_EQ(ReadFileBytes(root / "l/l39"), std::string(300000, 'l'));
}

}  // namespace
