// Faults injected into whole updates of the real programs: the service killed while it
// downloads, the update server dropping the connection, a package that fails its md5, a disk
// that fills up and a folder that cannot be written while packages are unpacked, a package
// that replaces the running updater and library, and the updater killed while it installs.
// Each faulty run goes to its end; then the fault is taken away and the next run must reach
// the new version with the user's game catalogue state kept. Throughout, every file of the
// installation holds its old content or its new one, never a part.

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "FolderWatch.h"
#include "UpdateScenario.h"

namespace {

namespace fs = std::filesystem;
using testing::AnyOf;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::TestZipEntry;
using vesk::test::UpdateScenario;
using vesk::test::WaitForFolder;

const char kBoxUpdateFailed[] = "Message box: Error\nThe update failed. Please try again later.";
const char kDownloadFailed[] = "download failed,exit.";
const char kSucceeded[] = "UPdate success and start VESKClient,exit.";

const char kCatalogue[] = "gameinfo.xml_0";
const char kUserCatalogue[] =
    "<?xml version=\"1.0\" ?>\n<games>\n"
    "<game id=\"7\" name=\"Old name\" download=\"1\" install=\"1\" installdate=\"2026-01-02\">"
    "<path installpath=\"/games/seven\"/><lastplaytime year=\"2026\" month=\"3\"/></game>\n"
    "</games>\n";
const char kPackagedCatalogue[] =
    "<?xml version=\"1.0\" ?>\n<games>\n"
    "<game id=\"7\" name=\"New name\" download=\"0\" install=\"0\" installdate=\"\">"
    "<path installpath=\"\"/><lastplaytime year=\"0\" month=\"0\"/></game>\n"
    "</games>\n";
// What shows that a catalogue file carries the user's state.
const char kUserState[] = "installpath=\"/games/seven\"";

const char kPack[] = "client.pak";

// The test process's own mount namespace, entered once: what a test mounts there is seen by
// the programs it starts and by nobody else. Empty when entered, else why not.
const std::string& PrivateMounts() {
    static const std::string why = []() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("private mounts: ") + std::strerror(errno);
        return "";
    }();
    return why;
}

// Mounts made for one test, undone when it ends (the last first).
class Mounts {
public:
    ~Mounts() {
        for (auto it = m_points.rbegin(); it != m_points.rend(); ++it)
            umount2(it->c_str(), MNT_DETACH);
    }
    // Empty when mounted, else why not.
    std::string Tmpfs(const fs::path& at, std::uint64_t bytes) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0)
            return "tmpfs: " + std::string(std::strerror(errno));
        m_points.push_back(at);
        return "";
    }
    std::string Resize(const fs::path& at, std::uint64_t bytes) {
        const std::string options = "size=" + std::to_string(bytes);
        if (mount(nullptr, at.c_str(), nullptr, MS_REMOUNT, options.c_str()) != 0)
            return "remount: " + std::string(std::strerror(errno));
        return "";
    }
    // The folder seen read-only through a mount of its own.
    std::string ReadOnly(const fs::path& folder) {
        if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return "bind: " + std::string(std::strerror(errno));
        m_points.push_back(folder);
        if (mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return "read-only: " + std::string(std::strerror(errno));
        return "";
    }
    // A file or folder below a read-only mount kept writable, as another disk would hold it.
    std::string Writable(const fs::path& file, const fs::path& outside) {
        if (mount(outside.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return "bind: " + std::string(std::strerror(errno));
        m_points.push_back(file);
        return "";
    }

private:
    std::vector<fs::path> m_points;
};

std::uint64_t UsedBytes(const fs::path& at) {
    struct statvfs info {};
    if (statvfs(at.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_blocks - info.f_bfree) * info.f_frsize;
}

enum class Path { Direct, Service };

std::string PathName(Path path) {
    return path == Path::Direct ? "direct" : "service";
}

// The file's bytes, read in one go (the packs here are large).
std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (!in || error) return {};
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The passing name under which a file of the installation is written before it takes the
// file's place.
bool IsPassingName(const std::string& name) {
    return name.starts_with(".~") && name.ends_with(".part");
}

// An installation at 1.0 with the user's catalogue, one update away from 1.9, and what the
// checks after a faulty run and after the run that repairs it need to know of both.
class FaultedUpdate {
public:
    FaultedUpdate() : m_folder(m_scenario.folder()) {
        m_scenario.install().AddFile("Config.ini",
                                     "[Locale]\r\nLanguage=1\r\nCount=1\r\n[VeskVersionURL]\r\n"
                                     "UpdateAddress=" +
                                         m_scenario.server().Url("/updates/") + "\r\n");
        m_scenario.install().AddFile(kCatalogue, kUserCatalogue);
        m_scenario.install().AddFile("data/a.txt", "old a");
        m_scenario.install().AddFile(kPack, "old pak");
        for (const auto& entry : fs::recursive_directory_iterator(m_folder)) {
            if (entry.is_regular_file()) m_installed.insert(Relative(entry.path()));
        }
        for (const char* made : {"VESKUpdateLog.txt", "VeskClient.starts"})
            m_installed.insert(made);
    }

    UpdateScenario& scenario() { return m_scenario; }
    const fs::path& folder() const { return m_folder; }
    const std::string& package() const { return m_package; }

    // The release 1.9, reached through the package 1.1, which replaces a data file, the
    // client's pack (packSize bytes of one letter) and the catalogue, and brings extra.
    void Publish(std::size_t packSize = 64 * 1024, std::optional<std::string> md5 = {},
                 std::vector<TestZipEntry> extra = {}) {
        m_entries = {{kCatalogue, kPackagedCatalogue},
                     {"data/a.txt", "new a"},
                     {kPack, std::string(packSize, 'n')}};
        m_entries.insert(m_entries.end(), extra.begin(), extra.end());
        ScenarioPackage patch{"1.1", "patch-1.1.zip", m_entries};
        patch.md5 = std::move(md5);
        ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
        latest.size = 50 << 20;
        m_scenario.Publish({patch}, latest);
        m_package = m_scenario.PackageBytes("patch-1.1.zip");
    }
    // The package as the manifest describes it, whatever the fault served before.
    void ServeThePackage() {
        m_scenario.server().Serve("/updates/patch-1.1.zip",
                                  {.body = m_package, .acceptRanges = true});
    }

    // A run the fault ended: by itself (no signal), with the update-failed box and the line
    // that says why, the old version, and the client started as after any failed update.
    void ExpectFailed(const ScenarioRun& run, const std::string& line) const {
        EXPECT_EQ(run.exitCode, 1) << run.errors;
        EXPECT_THAT(run.errors, HasSubstr(kBoxUpdateFailed));
        EXPECT_THAT(run.log, Contains(HasSubstr(line))) << testing::PrintToString(run.log);
        EXPECT_THAT(run.log, Contains(kDownloadFailed));
        EXPECT_THAT(run.log, Not(Contains(kSucceeded)));
        EXPECT_THAT(run.clientStarts, ElementsAre("noupdate"));
        EXPECT_EQ(m_scenario.InstalledVersion(), "1.0");
    }

    // Every file below the program folder, but for the updater's working folder, is a file
    // of the installation or of the package with its old or its new content: none half
    // written, none left behind under a passing name (unless killed: the run that was killed
    // could not take it away), and the catalogue carries the user's state (unless killed: the
    // package's may stand until the next run merges it).
    void ExpectOldOrNew(bool killed = false) const {
        std::map<std::string, std::string> newContent;
        for (const TestZipEntry& entry : m_entries) newContent[entry.name] = entry.data;
        const std::map<std::string, std::string> oldContent = {
            {kCatalogue, kUserCatalogue}, {"data/a.txt", "old a"}, {kPack, "old pak"}};
        for (auto it = fs::recursive_directory_iterator(m_folder);
             it != fs::recursive_directory_iterator(); ++it) {
            const std::string name = Relative(it->path());
            if (name == "tmp") it.disable_recursion_pending();
            if (!it->is_regular_file()) continue;
            if (killed && IsPassingName(it->path().filename().string())) continue;
            const bool packaged = newContent.contains(name);
            EXPECT_TRUE(packaged || m_installed.contains(name)) << "left behind: " << name;
            if (!packaged || name == kCatalogue) continue;
            const std::string content = Contents(it->path());
            const auto old = oldContent.find(name);
            EXPECT_TRUE(content == newContent[name] ||
                        (old != oldContent.end() && content == old->second))
                << name << " holds " << content.size() << " bytes of neither version";
        }
        const std::string catalogue = Contents(m_folder / kCatalogue);
        if (!killed) {
            EXPECT_THAT(catalogue, HasSubstr(kUserState));
        }
        EXPECT_THAT(catalogue, AnyOf(HasSubstr("New name"), HasSubstr("Old name")));
    }

    // The run after the fault installs the release whole and keeps the user's state.
    void ExpectRepairedBy(const ScenarioRun& run) const {
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_THAT(run.log, Contains(kSucceeded)) << testing::PrintToString(run.log);
        EXPECT_EQ(m_scenario.InstalledVersion(), "1.9");
        for (const TestZipEntry& entry : m_entries) {
            if (entry.name == kCatalogue) continue;
            EXPECT_TRUE(Contents(m_folder / entry.name) == entry.data) << entry.name;
        }
        const std::string catalogue = Contents(m_folder / kCatalogue);
        EXPECT_THAT(catalogue, HasSubstr("name=\"New name\""));
        EXPECT_THAT(catalogue, HasSubstr(kUserState));
        EXPECT_THAT(catalogue, HasSubstr("installdate=\"2026-01-02\""));
        EXPECT_THAT(catalogue, HasSubstr("year=\"2026\""));
        // The copy of the user's catalogue goes once its state is merged back.
        EXPECT_FALSE(fs::exists(m_folder / "tmp" / (std::string(kCatalogue) + ".user")));
        ExpectOldOrNew();
        EXPECT_THAT(run.clientStarts, Contains("noupdate"));
        EXPECT_THAT(run.errors, Not(HasSubstr("Sanitizer")));
    }
    void ExpectRepaired() { ExpectRepairedBy(m_scenario.Run()); }

private:
    std::string Relative(const fs::path& path) const {
        return path.lexically_relative(m_folder).string();
    }

    UpdateScenario m_scenario;
    fs::path m_folder;
    std::set<std::string> m_installed;
    std::vector<TestZipEntry> m_entries;
    std::string m_package;
};

TEST(FaultInjection, TheServiceKilledWhileItDownloads) {
    FaultedUpdate update;
    UpdateScenario& scenario = update.scenario();
    update.Publish(256 * 1024);
    // The service has half of the package when it dies.
    scenario.server().Serve("/updates/patch-1.1.zip",
                            {.body = update.package(), .holdAt = update.package().size() / 2});
    ASSERT_TRUE(scenario.StartService());
    // The library relaunches the service and waits for it as for a real process.
    scenario.install().SetEnv("VESK_CLOCK", "scaled:20");
    const auto updater = scenario.Start();
    ASSERT_TRUE(updater);
    scenario.server().WaitUntilHeld();
    scenario.KillService();
    scenario.server().Release();
    update.ExpectFailed(scenario.FinishStoppingServices(*updater), "TSP download error");
    update.ExpectOldOrNew();

    update.ServeThePackage();
    const auto again = scenario.Start();
    ASSERT_TRUE(again);
    update.ExpectRepairedBy(scenario.FinishStoppingServices(*again));
}

TEST(FaultInjection, TheServerDroppingTheConnectionPartWayThroughThePackage) {
    for (const Path path : {Path::Direct, Path::Service}) {
        SCOPED_TRACE(PathName(path));
        FaultedUpdate update;
        UpdateScenario& scenario = update.scenario();
        update.Publish(256 * 1024);
        // Every answer, ranged or not, breaks off at the same byte of the package.
        scenario.server().Serve(
            "/updates/patch-1.1.zip",
            {.body = update.package(), .acceptRanges = true, .cutAt = update.package().size() / 3});
        if (path == Path::Service) {
            ASSERT_TRUE(scenario.StartService());
        }
        update.ExpectFailed(scenario.Run(),
                            path == Path::Direct ? kDownloadFailed : "TSP download error");
        update.ExpectOldOrNew();

        update.ServeThePackage();
        update.ExpectRepaired();
    }
}

TEST(FaultInjection, APackageFailingItsMd5UntilTheRightOneIsServed) {
    for (const Path path : {Path::Direct, Path::Service}) {
        SCOPED_TRACE(PathName(path));
        FaultedUpdate update;
        UpdateScenario& scenario = update.scenario();
        update.Publish(64 * 1024, std::string(32, '0'));
        if (path == Path::Service) {
            ASSERT_TRUE(scenario.StartService());
        }
        update.ExpectFailed(scenario.Run(), "Package patch-1.1.zip does not match its md5");
        update.ExpectOldOrNew();
        EXPECT_FALSE(fs::exists(update.folder() / "tmp/patch-1.1.zip"));

        update.Publish();
        update.ExpectRepaired();
    }
}

TEST(FaultInjection, TheDiskFillingUpWhileThePackageIsUnpacked) {
    if (const std::string& why = PrivateMounts(); !why.empty())
        GTEST_SKIP() << "no mount namespace of our own: " << why;
    FaultedUpdate update;
    const fs::path folder = update.folder();
    // The program folder moves onto a file system of its own, with 1 MiB to spare; the pack
    // needs 8 MiB unpacked (its package is small: one letter over and over).
    const fs::path aside = folder.parent_path() / "aside";
    fs::rename(folder, aside);
    fs::create_directory(folder);
    Mounts mounts;
    if (const std::string why = mounts.Tmpfs(folder, 512ull << 20); !why.empty())
        GTEST_SKIP() << why;
    fs::copy(aside, folder, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::remove_all(aside);
    update.Publish(8 << 20);
    const std::uint64_t used = UsedBytes(folder);
    ASSERT_EQ(mounts.Resize(folder, used + (1 << 20)), "");

    update.ExpectFailed(update.scenario().Run(), "entry client.pak not unpacked");
    update.ExpectOldOrNew();

    // The user makes room.
    ASSERT_EQ(mounts.Resize(folder, used + (64 << 20)), "");
    update.ExpectRepaired();
}

TEST(FaultInjection, AProgramFolderThatCannotBeWritten) {
    if (const std::string& why = PrivateMounts(); !why.empty())
        GTEST_SKIP() << "no mount namespace of our own: " << why;
    // Root writes whatever the mode bits say, so the folder is mounted read-only instead:
    // the whole program folder (its package folder, log and the client's record kept
    // writable, as another disk would hold them), or only the folder of one entry.
    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "whole folder" : "data folder");
        FaultedUpdate update;
        const fs::path folder = update.folder();
        update.Publish();
        std::optional<Mounts> mounts(std::in_place);
        if (whole) {
            const fs::path outside = folder.parent_path() / "outside";
            fs::create_directories(outside / "tmp");
            for (const char* name : {"VESKUpdateLog.txt", "VeskClient.starts"}) {
                vesk::test::WriteFileBytes(folder / name, "");
                vesk::test::WriteFileBytes(outside / name, "");
            }
            if (const std::string why = mounts->ReadOnly(folder); !why.empty()) GTEST_SKIP() << why;
            for (const char* name : {"VESKUpdateLog.txt", "VeskClient.starts"})
                ASSERT_EQ(mounts->Writable(folder / name, outside / name), "");
            ASSERT_EQ(mounts->Writable(folder / "tmp", outside / "tmp"), "");
        } else {
            if (const std::string why = mounts->ReadOnly(folder / "data"); !why.empty())
                GTEST_SKIP() << why;
        }
        update.ExpectFailed(update.scenario().Run(), "entry data/a.txt not unpacked");
        update.ExpectOldOrNew();
        EXPECT_EQ(Contents(folder / "data/a.txt"), "old a");

        mounts.reset();  // the user makes the folder writable again
        update.ExpectRepaired();
    }
}

TEST(FaultInjection, APackageReplacingTheRunningUpdaterAndLibrary) {
    FaultedUpdate update;
    UpdateScenario& scenario = update.scenario();
    // The new programs: the built ones with bytes of their own at the end, which changes
    // nothing in how they run.
    const std::string updater = Contents(VESK_UPDATE_PROGRAM) + "\nrelease 1.1\n";
    const std::string library = Contents(VESK_TRANSFER_LIBRARY) + "\nrelease 1.1\n";
    TestZipEntry newUpdater{"VeskUpdate", updater, false};
    TestZipEntry newLibrary{"TSPWrapperLib.dll", library, false};
    update.Publish(64 * 1024, {}, {newUpdater, newLibrary});
    // Through the service, so the library is loaded and in use before the install.
    ASSERT_TRUE(scenario.StartService());
    update.ExpectRepairedBy(scenario.Run());
    for (const char* name : {"VeskUpdate", "TSPWrapperLib.dll"}) {
        const auto permissions = fs::status(update.folder() / name).permissions();
        EXPECT_NE(permissions & fs::perms::owner_exec, fs::perms::none) << name;
    }

    // The next update runs the new updater, which loads the new library.
    ScenarioPackage latest{"2.9", "full-2.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    scenario.Publish({{"2.1", "patch-2.1.zip", {{"data/a.txt", "newer a"}}}}, latest);
    const ScenarioRun next = scenario.Run();
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    EXPECT_EQ(scenario.InstalledVersion(), "2.9");
    EXPECT_EQ(Contents(update.folder() / "data/a.txt"), "newer a");
    EXPECT_TRUE(Contents(update.folder() / "VeskUpdate") == updater);
    EXPECT_THAT(scenario.ServiceRequests(), Contains("transfer.start"));
}

TEST(FaultInjection, TheUpdaterKilledWhileItInstalls) {
    FaultedUpdate update;
    UpdateScenario& scenario = update.scenario();
    const fs::path folder = update.folder();
    // A pack big enough that unpacking it takes a while.
    update.Publish(160 << 20);
    const auto updater = scenario.Start();
    ASSERT_TRUE(updater);
    // Killed while the pack is being written, once the package's catalogue is in place.
    const auto installing = [&folder] {
        bool packing = false;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            packing = packing || (IsPassingName(name) && name.starts_with(".~client.pak."));
        }
        return packing && Contents(folder / kCatalogue) == kPackagedCatalogue;
    };
    ASSERT_TRUE(WaitForFolder(folder, updater->pid(), installing));
    kill(updater->pid(), SIGSTOP);
    ASSERT_TRUE(installing()) << "the install ended before the updater could be stopped";
    updater->Kill();
    const ScenarioRun run = scenario.Finish(*updater);
    EXPECT_EQ(run.exitCode, 128 + SIGKILL);
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    EXPECT_THAT(run.clientStarts, testing::IsEmpty());
    update.ExpectOldOrNew(true);

    update.ExpectRepaired();
}

}  // namespace
