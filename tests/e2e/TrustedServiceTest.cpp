// Whole updates in which the transfer service cannot be trusted: a program of another user
// holds its port, or the installer the library fetches is not the one the publisher signed.
// Either way the service is not used and the update goes on directly; the library's log
// beside the updater says why. An installer the publisher's key signed is run as before.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "OtherUser.h"
#include "UpdateScenario.h"
#include "digest/Ed25519.h"
#include "registry/HiveText.h"
#include "text/Utf.h"

namespace {

namespace digest = vesk::digest;
namespace fs = std::filesystem;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using vesk::test::ChildProcess;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::UpdateScenario;

constexpr const char kInstallerPath[] = "/tirsa/tsp/TSPInst.exe";
constexpr const char kInstallerSignaturePath[] = "/tirsa/tsp/TSPInst.exe.sig";
constexpr const char kStartFailed[] = "Start TSP failed,exit.";
constexpr const char kPatcherFailed[] = "download patcher failed,exit.";
constexpr const char kDataHome[] = ".local/share";

std::string SignatureText(const digest::Ed25519PrivateKey& key, const std::string& bytes) {
    return digest::ToText(digest::Sign(key, bytes).value_or(digest::Ed25519Signature{})) + "\n";
}

digest::Ed25519PrivateKey NewKey() {
    const auto key = digest::GenerateKey();
    EXPECT_TRUE(key);
    return key.value_or(digest::Ed25519PrivateKey{});
}

// An installation at 1.0 and a release 1.9 reached through one small package; with the
// publisher's key when signed, its manifest signed too.
struct Release {
    explicit Release(bool signedByKey) {
        if (signedByKey) {
            scenario.install().AddFile("update_key.pub",
                                       digest::ToText(*digest::PublicKeyOf(key)) + "\n");
            scenario.MakeSignedReleases("2099-01-01T00:00:00Z");
        }
        // The latest package is large, so the small one is what downloads.
        ScenarioPackage latest{"1.9", "full-1.9.zip", {{"data/full.txt", "full"}}};
        latest.size = 50 << 20;
        scenario.Publish({{"1.1", "patch-1.1.zip", {{"data/part.txt", "content of 1.1"}}}}, latest);
        if (signedByKey) {
            scenario.server().Serve("/updates/veskversion.xml.sig",
                                    {.body = SignatureText(key, scenario.manifest())});
        }
        // Where the installer puts the service, whatever the test's surroundings say.
        scenario.install().SetEnv("XDG_DATA_HOME",
                                  (scenario.install().home() / kDataHome).string());
    }
    ~Release() {
        vesk::test::KillProgramsUnder(scenario.install().home().string());
        vesk::test::ReapChildrenExcept({});
    }

    fs::path InstalledService() {
        return scenario.install().home() / kDataHome / "Tirsa Networks/TSP/TSP.exe";
    }
    std::string LibraryLog() const {
        return vesk::test::ReadFileBytes(scenario.folder() / "Tirsa_TSP_Temp.log");
    }
    void ExpectUpdated(const ScenarioRun& run) const {
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(scenario.InstalledVersion(), "1.9");
        EXPECT_EQ(vesk::test::ReadFileBytes(scenario.folder() / "data/part.txt"), "content of 1.1");
    }

    // The whole run; a service the library had installed runs on, and is ended before the
    // run's children are waited for.
    ScenarioRun Run() {
        const auto updater = scenario.Start();
        if (!updater) return {};
        updater->Wait();
        vesk::test::KillProgramsUnder(scenario.install().home().string());
        return scenario.Finish(*updater);
    }

    UpdateScenario scenario;
    digest::Ed25519PrivateKey key = NewKey();
};

// The stand-in service, registered for the installation's user but not running: a library
// that believed the port would launch it and then take the stranger's word for its login.
void RegisterService(UpdateScenario& scenario) {
    fs::create_directories(scenario.serviceFolder());
    fs::copy_file(VESK_TSP_SERVICE, scenario.serviceFolder() / "TSP.exe");
    vesk::registry::Hive hive;
    hive.Create(L"Software\\Tirsa Networks\\TSP").values = {
        {L"Version Number", L"2.3.0.0"},
        {L"Program Directory", vesk::text::Utf8ToWide(scenario.serviceFolder().string() + "/")}};
    vesk::test::WriteFileBytes(
        scenario.install().home() / ".config/VeskRegistry/HKEY_CURRENT_USER.reg",
        vesk::registry::RenderHive(hive));
}

TEST(TrustedService, APortHeldByAnotherUserIsPassedByAndTheUpdateGoesDirect) {
    if (!vesk::test::CanRunAsOtherUser()) GTEST_SKIP() << vesk::test::kNeedsRoot;
    Release release(false);
    RegisterService(release.scenario);
    ChildProcess stranger;
    ASSERT_TRUE(stranger.Start(VESK_OTHER_USER,
                               {.args = {"--uid", vesk::test::kOtherUserId, "listen", "60524"}}));
    ASSERT_THAT(stranger.ReadLine().value_or(""), HasSubstr("listening"));
    release.scenario.KeepChild(stranger.pid());

    const ScenarioRun run = release.Run();
    release.ExpectUpdated(run);
    EXPECT_THAT(run.log, Contains(kStartFailed));
    stranger.Kill();
    stranger.Wait();
    EXPECT_THAT(stranger.Output(), Not(HasSubstr("request")));
    EXPECT_THAT(release.LibraryLog(),
                HasSubstr(std::string("held by user ") + vesk::test::kOtherUserId));
}

// The installer runs only with the key's signature over its exact bytes; whatever else came
// beside it, it is downloaded but never run, and the update goes on directly.
TEST(TrustedService, TheServiceInstallerRunsOnlyWhenThePublishersKeySignedIt) {
    const std::string installer = vesk::test::ReadFileBytes(VESK_TSP_INSTALLER);
    struct Row {
        const char* what;
        std::function<std::string(const digest::Ed25519PrivateKey&)> signature;
        const char* refusal;  // null: the installer runs
    };
    const Row rows[] = {
        {"the key's signature",
         [&](const digest::Ed25519PrivateKey& key) { return SignatureText(key, installer); },
         nullptr},
        {"no signature", [](const digest::Ed25519PrivateKey&) { return std::string(); },
         "the installer has no signature"},
        {"another key's signature",
         [&](const digest::Ed25519PrivateKey&) { return SignatureText(NewKey(), installer); },
         "the installer's signature does not match the key"},
        {"the signature of other bytes",
         [&](const digest::Ed25519PrivateKey& key) { return SignatureText(key, installer + "x"); },
         "the installer's signature does not match the key"},
        {"a malformed signature", [](const digest::Ed25519PrivateKey&) { return "abc\n"; },
         "the installer's signature is malformed"},
    };
    for (const Row& row : rows) {
        Release release(true);
        release.scenario.server().Serve(kInstallerPath, {.file = VESK_TSP_INSTALLER});
        const std::string signature = row.signature(release.key);
        release.scenario.server().Serve(kInstallerSignaturePath,
                                        signature.empty()
                                            ? vesk::test::TestResponse{.status = 404}
                                            : vesk::test::TestResponse{.body = signature});
        // The library waits for a real installer and service: time runs fast, not jumping.
        release.scenario.install().SetEnv("VESK_CLOCK", "scaled:10");

        const ScenarioRun run = release.Run();
        release.ExpectUpdated(run);
        EXPECT_GE(release.scenario.server().RequestCount(kInstallerSignaturePath), 1) << row.what;
        if (row.refusal) {
            EXPECT_THAT(run.log, Contains(kStartFailed)) << row.what;
            EXPECT_FALSE(fs::exists(release.InstalledService())) << row.what;
            EXPECT_THAT(release.LibraryLog(),
                        HasSubstr(std::string("Service installer not run: ") + row.refusal))
                << row.what;
        } else {
            EXPECT_THAT(run.log, Not(Contains(kStartFailed))) << row.what;
            EXPECT_THAT(run.log, Not(Contains(kPatcherFailed))) << row.what;
            EXPECT_TRUE(fs::exists(release.InstalledService())) << row.what;
        }
    }
}

// Without a key nothing is signed, and the installer runs as it always did.
TEST(TrustedService, WithoutAKeyTheInstallerRunsUnsigned) {
    Release release(false);
    release.scenario.server().Serve(kInstallerPath, {.file = VESK_TSP_INSTALLER});
    release.scenario.install().SetEnv("VESK_CLOCK", "scaled:10");
    const ScenarioRun run = release.Run();
    release.ExpectUpdated(run);
    EXPECT_THAT(run.log, Not(Contains(kStartFailed)));
    EXPECT_THAT(run.log, Not(Contains(kPatcherFailed)));
    EXPECT_TRUE(fs::exists(release.InstalledService()));
    EXPECT_EQ(release.scenario.server().RequestCount(kInstallerSignaturePath), 0);
}

}  // namespace
