// Direct downloads that resume: the real updater against the test server, which cuts bodies
// at a byte, answers ranges by their If-Range and counts the body bytes it sends. Each run
// ends at the new version with the package's bytes served no more often than the faults make
// necessary.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FolderWatch.h"
#include "UpdateScenario.h"

namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using vesk::test::ReadFileBytes;
using vesk::test::ScenarioPackage;
using vesk::test::ScenarioRun;
using vesk::test::TestRequest;
using vesk::test::TestResponse;
using vesk::test::UpdateScenario;
using vesk::test::WriteFileBytes;

constexpr char kPackage[] = "patch-1.1.zip";
constexpr char kServed[] = "/updates/patch-1.1.zip";
constexpr char kPart[] = "tmp/patch-1.1.zip.part";
constexpr char kValidator[] = "tmp/patch-1.1.zip.part.validator";
constexpr char kV1[] = "\"v1\"";
constexpr char kSucceeded[] = "UPdate success and start VESKClient,exit.";

// Not compressible, so the package is as large as its data.
std::string Noise(std::size_t size, std::uint32_t seed) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return data;
}

class Resume : public testing::Test {
protected:
    // Release 1.1 through one package of about 1 MiB; the latest package is made too large to
    // be chosen.
    void Publish(std::uint32_t seed = 1) {
        m_big = Noise(1 << 20, seed);
        const ScenarioPackage patch = {
            "1.1",
            kPackage,
            {{"readme.txt", "release " + std::to_string(seed)}, {"big.bin", m_big, false}}};
        ScenarioPackage latest = {"1.1", "full-1.1.zip", {{"readme.txt", "full"}}};
        latest.size = 50 << 20;
        m_scenario.Publish({patch}, latest);
        m_package = m_scenario.PackageBytes(kPackage);
    }
    void Serve(std::vector<TestResponse> answers) {
        m_scenario.server().ServeSequence(kServed, std::move(answers));
    }
    TestResponse Ranged(std::optional<std::uint64_t> cutAt = {}) const {
        return {.body = m_package, .acceptRanges = true, .etag = kV1, .cutAt = cutAt};
    }
    std::uint64_t Size() const { return m_package.size(); }

    std::vector<TestRequest> PackageRequests() {
        std::vector<TestRequest> requests;
        for (const TestRequest& request : m_scenario.server().Requests())
            if (request.path == kServed) requests.push_back(request);
        return requests;
    }
    static std::string Header(const TestRequest& request, const std::string& name) {
        const auto found = request.headers.find(name);
        return found == request.headers.end() ? "" : found->second;
    }

    void ExpectUpdated(const ScenarioRun& run, std::uint32_t seed = 1) {
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_THAT(run.log, Contains(kSucceeded)) << testing::PrintToString(run.log);
        EXPECT_EQ(m_scenario.InstalledVersion(), "1.1");
        EXPECT_EQ(ReadFileBytes(m_scenario.folder() / "readme.txt"),
                  "release " + std::to_string(seed));
        EXPECT_TRUE(ReadFileBytes(m_scenario.folder() / "big.bin") == m_big);
        // Nothing of the download stays behind.
        EXPECT_FALSE(fs::exists(m_scenario.folder() / kPart));
        EXPECT_FALSE(fs::exists(m_scenario.folder() / kValidator));
    }

    UpdateScenario m_scenario;
    std::string m_big;
    std::string m_package;
};

TEST_F(Resume, ABodyCutAt90PercentIsContinuedByItsRetry) {
    Publish();
    const std::uint64_t cut = Size() * 9 / 10;
    Serve({Ranged(cut), Ranged()});
    ExpectUpdated(m_scenario.Run());
    const auto requests = PackageRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(Header(requests[0], "range"), "");
    EXPECT_EQ(Header(requests[1], "range"), "bytes=" + std::to_string(cut) + "-");
    EXPECT_EQ(Header(requests[1], "if-range"), kV1);
    EXPECT_EQ(m_scenario.server().BodyBytesSent(kServed), Size());
}

TEST_F(Resume, TheUpdaterKilledHalfWayResumesOnTheNextRun) {
    Publish();
    const std::uint64_t half = Size() / 2;
    Serve({{.body = m_package, .holdAt = half, .acceptRanges = true, .etag = kV1}});
    const auto updater = m_scenario.Start();
    ASSERT_TRUE(updater);
    const fs::path part = m_scenario.folder() / kPart;
    const auto halfWritten = [&] {
        std::error_code error;
        return fs::file_size(part, error) == half && !error;
    };
    ASSERT_TRUE(vesk::test::WaitForFolder(part.parent_path(), updater->pid(), halfWritten));
    updater->Kill();
    EXPECT_EQ(m_scenario.Finish(*updater).exitCode, 128 + SIGKILL);
    m_scenario.server().Release();
    EXPECT_EQ(ReadFileBytes(m_scenario.folder() / kValidator), kV1);

    Serve({Ranged()});
    ExpectUpdated(m_scenario.Run());
    const TestRequest resumed = PackageRequests().back();
    EXPECT_EQ(Header(resumed, "range"), "bytes=" + std::to_string(half) + "-");
    EXPECT_EQ(Header(resumed, "if-range"), kV1);
}

TEST_F(Resume, AServerThatIgnoresRangesIsFetchedAgainWhole) {
    Publish();
    TestResponse whole = {.body = m_package, .etag = kV1};
    TestResponse cut = whole;
    cut.cutAt = Size() * 9 / 10;
    Serve({cut, whole});
    ExpectUpdated(m_scenario.Run());
    EXPECT_EQ(Header(PackageRequests().at(1), "range"),
              "bytes=" + std::to_string(*cut.cutAt) + "-");
    EXPECT_EQ(m_scenario.server().BodyBytesSent(kServed), *cut.cutAt + Size());
}

TEST_F(Resume, AFileChangedOnTheServerBetweenRunsIsFetchedAgainWhole) {
    Publish(1);
    // Half of it, then nothing more: the run fails with the half kept.
    Serve({Ranged(Size() / 2), {.status = 503}});
    const ScenarioRun failed = m_scenario.Run();
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(fs::file_size(m_scenario.folder() / kPart), Size() / 2);

    Publish(2);
    const std::uint64_t servedBefore = m_scenario.server().BodyBytesSent(kServed);
    Serve({{.body = m_package, .acceptRanges = true, .etag = "\"v2\""}});
    ExpectUpdated(m_scenario.Run(), 2);
    const TestRequest asked = PackageRequests().back();
    EXPECT_EQ(Header(asked, "if-range"), kV1);
    EXPECT_FALSE(Header(asked, "range").empty());
    EXPECT_EQ(m_scenario.server().BodyBytesSent(kServed) - servedBefore, Size());
}

TEST_F(Resume, APartOfGarbageWithTheRightLengthFailsItsMd5AndIsFetchedAgain) {
    Publish();
    WriteFileBytes(m_scenario.folder() / kPart, std::string(Size(), 'x'));
    WriteFileBytes(m_scenario.folder() / kValidator, kV1);
    Serve({Ranged()});
    const ScenarioRun run = m_scenario.Run();
    ExpectUpdated(run);
    EXPECT_THAT(run.log, Contains("Package patch-1.1.zip does not match its md5."));
    // The whole part was never asked for again: it only went through the check.
    const auto requests = PackageRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(Header(requests[0], "range"), "");
    EXPECT_EQ(m_scenario.server().BodyBytesSent(kServed), Size());
}

TEST_F(Resume, OnlyWhatIsToComeMustFitTheDiskAndStalePartsGo) {
    Publish();
    const std::uint64_t kept = Size() * 9 / 10;
    WriteFileBytes(m_scenario.folder() / kPart, m_package.substr(0, kept));
    WriteFileBytes(m_scenario.folder() / kValidator, kV1);
    for (const char* stale : {"tmp/patch-1.0.zip.part", "tmp/patch-1.0.zip.part.validator"})
        WriteFileBytes(m_scenario.folder() / stale, "old");
    WriteFileBytes(m_scenario.folder() / "tmp/notes.txt", "not a part");
    // Room for three times the rest, not for three times the package.
    m_scenario.install().SetEnv("VESK_FREE_DISK_BYTES", std::to_string(Size()));
    Serve({Ranged()});
    ExpectUpdated(m_scenario.Run());
    EXPECT_EQ(m_scenario.server().BodyBytesSent(kServed), Size() - kept);
    EXPECT_FALSE(fs::exists(m_scenario.folder() / "tmp/patch-1.0.zip.part"));
    EXPECT_FALSE(fs::exists(m_scenario.folder() / "tmp/patch-1.0.zip.part.validator"));
    EXPECT_TRUE(fs::exists(m_scenario.folder() / "tmp/notes.txt"));
}

}  // namespace
