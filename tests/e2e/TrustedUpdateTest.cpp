// What the real updater takes from the server and the disk, and what it refuses: version ids
// the installation could not record, package bodies beyond their manifest's size, a key file
// that is only a dangling link, and a package swapped on disk after it was checked.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UpdateScenario.h"
#include "digest/Ed25519.h"

namespace {

namespace digest = vesk::digest;
namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;

constexpr char kResolveFailed[] = "Resolve version info failed,exit.";
constexpr char kSignaturePath[] = "/updates/veskversion.xml.sig";

enum class Path { Direct, Service };

std::string PathName(Path path) {
    return path == Path::Direct ? "direct" : "service";
}

// A large latest package, so a small chain is what downloads.
ScenarioPackage Latest(std::string id = "1.9") {
    ScenarioPackage latest{std::move(id), "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    return latest;
}

ScenarioPackage Patch(const std::string& id, const std::string& name) {
    return {id, name, {{"data/part1.txt", "content of " + id}}};
}

void ExpectNothingInstalled(const UpdateScenario& scenario) {
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    EXPECT_FALSE(fs::exists(scenario.folder() / "data/part1.txt"));
}

// Makes the scenario's releases signed by a key the installation carries.
void SignReleases(UpdateScenario& scenario, const digest::Ed25519PrivateKey& key) {
    scenario.install().AddFile("update_key.pub", digest::ToText(*digest::PublicKeyOf(key)) + "\n");
    scenario.MakeSignedReleases("2099-01-01T00:00:00Z");
}

void ServeSignature(UpdateScenario& scenario, const digest::Ed25519PrivateKey& key) {
    const auto signature = digest::Sign(key, scenario.manifest());
    ASSERT_TRUE(signature);
    scenario.server().Serve(kSignaturePath, {.body = digest::ToText(*signature) + "\n"});
}

// version.ini gives back 15 characters of an id: a manifest holding a longer one anywhere would
// install again on every run (or roll back), so it is refused before anything downloads.
TEST(TrustedUpdate, AManifestWithAnIdLongerThanTheInstallationKeepsIsRefused) {
    struct Row {
        const char* what;
        std::string chainId;
        std::string latestId;
        bool signed_;
        const char* reason;
    };
    const Row rows[] = {
        {"the latest, unsigned", "1.1", "release-2024-0002", false,
         "the id release-2024-0002 of package full-1.9.zip is longer than 15 characters"},
        {"the latest, signed", "1.1", "release-2024-0002", true,
         "the id release-2024-0002 of package full-1.9.zip is longer than 15 characters"},
        {"an update package, unsigned", "release-2024-0001", "1.9", false,
         "the id release-2024-0001 of package patch-1.1.zip is longer than 15 characters"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        UpdateScenario scenario;
        const auto key = digest::GenerateKey();
        ASSERT_TRUE(key);
        if (row.signed_) SignReleases(scenario, *key);
        scenario.Publish({Patch(row.chainId, "patch-1.1.zip")}, Latest(row.latestId));
        if (row.signed_) ServeSignature(scenario, *key);
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1) << run.errors;
        EXPECT_THAT(run.Flow(), ElementsAre(std::string("Manifest refused: ") + row.reason + ".",
                                            kResolveFailed));
        EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 0);
        ExpectNothingInstalled(scenario);
    }
}

TEST(TrustedUpdate, APackageLargerThanItsManifestSaysIsNeverUnpacked) {
    for (const Path path : {Path::Direct, Path::Service}) {
        SCOPED_TRACE(PathName(path));
        UpdateScenario scenario;
        ScenarioPackage patch = Patch("1.1", "patch-1.1.zip");
        scenario.Publish({patch}, Latest());
        // The same package, but the manifest claims a byte less than it has.
        patch.size = static_cast<std::int64_t>(scenario.PackageBytes("patch-1.1.zip").size()) - 1;
        scenario.Publish({patch}, Latest());
        if (path == Path::Service) {
            ASSERT_TRUE(scenario.StartService());
        }
        const ScenarioRun run = scenario.Run();
        EXPECT_EQ(run.exitCode, 1) << run.errors;
        EXPECT_THAT(run.log,
                    Contains(path == Path::Direct
                                 ? "Package patch-1.1.zip is larger than the manifest says."
                                 : "Package patch-1.1.zip is larger than the manifest "
                                   "says,exit."));
        EXPECT_THAT(run.log, Contains("download failed,exit."));
        EXPECT_FALSE(fs::exists(scenario.folder() / "tmp/patch-1.1.zip"));
        ExpectNothingInstalled(scenario);
    }
}

// A key file that is only a dangling link is a key that is there and invalid: nothing that is
// not signed is taken, and the log says why.
TEST(TrustedUpdate, AKeyFileThatIsADanglingLinkRefusesEveryManifest) {
    UpdateScenario scenario;
    fs::create_symlink(scenario.folder() / "moved-away.pub", scenario.folder() / "update_key.pub");
    scenario.Publish({Patch("1.1", "patch-1.1.zip")}, Latest());
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_THAT(run.Flow(), ElementsAre("Manifest refused: update_key.pub holds no valid key.",
                                        kResolveFailed));
    EXPECT_THAT(run.clientStarts, IsEmpty());
    EXPECT_EQ(scenario.server().RequestCount("/updates/patch-1.1.zip"), 0);
    ExpectNothingInstalled(scenario);
}

// The first package of a chain is checked and waits in the package folder while the second
// downloads; swapping another archive in at its path then changes nothing that is unpacked.
TEST(TrustedUpdate, APackageSwappedOnDiskAfterItsCheckIsNotWhatIsUnpacked) {
    for (const Path path : {Path::Direct, Path::Service}) {
        SCOPED_TRACE(PathName(path));
        UpdateScenario scenario;
        const ScenarioPackage second{
            "1.2", "patch-1.2.zip", {{"data/part2.txt", "content of 1.2"}}};
        scenario.Publish({Patch("1.1", "patch-1.1.zip"), second}, Latest());
        const std::string secondBytes = scenario.PackageBytes("patch-1.2.zip");
        scenario.server().Serve("/updates/patch-1.2.zip",
                                {.body = secondBytes, .holdAt = secondBytes.size() / 2});
        if (path == Path::Service) {
            ASSERT_TRUE(scenario.StartService());
        }
        const auto updater = scenario.Start();
        ASSERT_TRUE(updater);
        scenario.server().WaitUntilHeld();
        const fs::path checked = scenario.folder() / "tmp/patch-1.1.zip";
        ASSERT_TRUE(fs::exists(checked));
        vesk::test::WriteZip(scenario.folder() / "tmp/swap.zip",
                             {{"data/part1.txt", "swapped"}, {"data/planted.txt", "planted"}});
        fs::rename(scenario.folder() / "tmp/swap.zip", checked);
        scenario.server().Release();
        const ScenarioRun run = scenario.Finish(*updater);

        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(ReadFileBytes(scenario.folder() / "data/part1.txt"), "content of 1.1");
        EXPECT_EQ(ReadFileBytes(scenario.folder() / "data/part2.txt"), "content of 1.2");
        EXPECT_FALSE(fs::exists(scenario.folder() / "data/planted.txt"));
        EXPECT_EQ(scenario.InstalledVersion(), "1.9");
    }
}

}  // namespace
