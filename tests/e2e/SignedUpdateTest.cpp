// Installations that carry their publisher's key: a signed update goes through, and every way
// of tampering with what arrives over plain HTTP is refused with nothing unpacked and the
// version unchanged. An installation without a key is not concerned by signed releases.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UpdateScenario.h"
#include "digest/Ed25519.h"

namespace {

namespace digest = vesk::digest;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;

constexpr const char kFuture[] = "2099-01-01T00:00:00Z";
constexpr const char kSignaturePath[] = "/updates/veskversion.xml.sig";

digest::Ed25519PrivateKey NewKey() {
    const auto key = digest::GenerateKey();
    EXPECT_TRUE(key);
    return key.value_or(digest::Ed25519PrivateKey{});
}

std::string SignatureText(const digest::Ed25519PrivateKey& key, const std::string& bytes) {
    return digest::ToText(digest::Sign(key, bytes).value_or(digest::Ed25519Signature{})) + "\n";
}

// An installation at 1.0 carrying the key, and a signed release of one small package (with a
// large latest one, so the small one is what downloads).
struct SignedRelease {
    explicit SignedRelease(const std::string& expires = kFuture) {
        scenario.install().AddFile("update_key.pub",
                                   "  " + digest::ToText(*digest::PublicKeyOf(key)) + "\r\n");
        scenario.MakeSignedReleases(expires);
        ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
        latest.size = 50 << 20;
        scenario.Publish({{"1.1", "patch-1.1.zip", {{"data/part1.txt", "content of 1.1"}}}},
                         latest);
        scenario.server().Serve(kSignaturePath, {.body = SignatureText(key, scenario.manifest())});
    }

    UpdateScenario scenario;
    digest::Ed25519PrivateKey key = NewKey();
};

void ExpectNothingInstalled(const UpdateScenario& scenario) {
    EXPECT_EQ(scenario.InstalledVersion(), "1.0");
    EXPECT_FALSE(std::filesystem::exists(scenario.folder() / "data/part1.txt"));
    EXPECT_THAT(scenario.FilesOutside(), IsEmpty());
}

TEST(SignedUpdate, ASignedUpdateSucceedsThroughTheServiceAndDirectly) {
    for (const bool service : {true, false}) {
        SignedRelease release;
        if (service) {
            ASSERT_TRUE(release.scenario.StartService());
        }
        const ScenarioRun run = release.scenario.Run();
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_THAT(run.log, testing::Not(testing::Contains(HasSubstr("refused"))));
        EXPECT_EQ(release.scenario.InstalledVersion(), "1.9");
        EXPECT_EQ(vesk::test::ReadFileBytes(release.scenario.folder() / "data/part1.txt"),
                  "content of 1.1");
        EXPECT_FALSE(
            std::filesystem::exists(release.scenario.folder() / "tmp/veskversion.xml.sig"));
    }
}

TEST(SignedUpdate, EveryTamperedManifestIsRefusedWithItsReason) {
    struct Row {
        const char* what;
        std::function<void(SignedRelease&)> tamper;
        const char* reason;
    };
    const Row rows[] = {
        {"a flipped byte in the manifest",
         [](SignedRelease& r) {
             std::string manifest = r.scenario.manifest();
             manifest[manifest.find("1.9")] = '2';
             r.scenario.server().Serve("/updates/veskversion.xml", {.body = manifest});
         },
         "the manifest's signature does not match the key"},
        {"a signature by another key",
         [](SignedRelease& r) {
             r.scenario.server().Serve(kSignaturePath,
                                       {.body = SignatureText(NewKey(), r.scenario.manifest())});
         },
         "the manifest's signature does not match the key"},
        {"no signature",
         [](SignedRelease& r) { r.scenario.server().Serve(kSignaturePath, {.status = 404}); },
         "the manifest has no signature"},
        {"a malformed signature",
         [](SignedRelease& r) { r.scenario.server().Serve(kSignaturePath, {.body = "abc\n"}); },
         "the manifest's signature is malformed"},
        {"a malformed key file",
         [](SignedRelease& r) { r.scenario.install().AddFile("update_key.pub", "not a key\n"); },
         "update_key.pub holds no valid key"},
    };
    for (const Row& row : rows) {
        SignedRelease release;
        row.tamper(release);
        const ScenarioRun run = release.scenario.Run();
        EXPECT_EQ(run.exitCode, 1) << row.what;
        EXPECT_THAT(run.Flow(), ElementsAre(std::string("Manifest refused: ") + row.reason + ".",
                                            "Resolve version info failed,exit."))
            << row.what;
        EXPECT_THAT(run.clientStarts, IsEmpty()) << row.what;
        EXPECT_EQ(release.scenario.server().RequestCount("/updates/patch-1.1.zip"), 0) << row.what;
        ExpectNothingInstalled(release.scenario);
    }
}

TEST(SignedUpdate, AnExpiredManifestIsRefused) {
    SignedRelease release("2020-06-01T12:00:00Z");
    const ScenarioRun run = release.scenario.Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(
        run.Flow(),
        ElementsAre("Manifest refused: the signed manifest expired at 2020-06-01T12:00:00Z.",
                    "Resolve version info failed,exit."));
    ExpectNothingInstalled(release.scenario);
}

TEST(SignedUpdate, APackageAlteredAfterSigningIsNeverUnpacked) {
    for (const bool service : {true, false}) {
        SignedRelease release;
        // Same size and the same md5 in the manifest would not help: only the sha256 counts.
        std::string altered = release.scenario.PackageBytes("patch-1.1.zip");
        altered[altered.size() / 2] ^= 0x20;
        release.scenario.server().Serve("/updates/patch-1.1.zip", {.body = altered});
        if (service) {
            ASSERT_TRUE(release.scenario.StartService());
        }
        const ScenarioRun run = release.scenario.Run();
        EXPECT_EQ(run.exitCode, 1) << service;
        const std::string line = service ? "Package patch-1.1.zip does not match its sha256,exit."
                                         : "Package patch-1.1.zip does not match its sha256.";
        EXPECT_THAT(run.log, testing::Contains(line)) << service;
        EXPECT_FALSE(std::filesystem::exists(release.scenario.folder() / "tmp/patch-1.1.zip"));
        ExpectNothingInstalled(release.scenario);
    }
}

// A signed release served to an installation without a key: its new attributes and the
// signature are ignored, and the md5 is what counts, as before.
TEST(SignedUpdate, AnInstallationWithoutAKeyUpdatesAsBefore) {
    UpdateScenario scenario;
    scenario.MakeSignedReleases("2020-01-01T00:00:00Z");  // even an expired one
    ScenarioPackage patch{"1.1", "patch-1.1.zip", {{"data/part1.txt", "content of 1.1"}}};
    patch.sha256 = std::string(64, '0');
    ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
    latest.size = 50 << 20;
    scenario.Publish({patch}, latest);
    const ScenarioRun run = scenario.Run();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_THAT(run.Flow(),
                ElementsAre("Start TSP failed,exit.", "UPdate success and start VESKClient,exit."));
    EXPECT_EQ(scenario.InstalledVersion(), "1.9");
    EXPECT_EQ(scenario.server().RequestCount(kSignaturePath), 0);
}

}  // namespace
