#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <tuple>

#include "ManifestFetch.h"
#include "ManifestSignature.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "VersionManifest.h"
#include "VersionSettings.h"
#include "profile/ProfileFile.h"

namespace {

using vesk::test::ReadFileBytes;

// Keeps what the fetch threads post; Next blocks until a message arrives.
class RecordingSink : public IUpdateMessageSink {
public:
    using Message = std::tuple<unsigned, std::uintptr_t, std::intptr_t>;
    void PostUpdateMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(m_mutex);
        m_messages.emplace_back(message, wParam, lParam);
        m_cv.notify_all();
    }
    Message Next() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return !m_messages.empty(); });
        Message m = m_messages.front();
        m_messages.erase(m_messages.begin());
        return m;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Message> m_messages;
};

const char kManifest[] = "<root><latestpackage id='2'/><updatepackage id='1'/></root>";

TEST(ManifestFetch, ThreeFailuresThenTheFourthAttemptSucceeds) {
    vesk::test::TempDir dir;
    vesk::test::TestHttpServer server;
    server.ServeSequence(
        "/updates/veskversion.xml",
        {{.status = 500}, {.status = 404}, {.dropBeforeAnswer = true}, {.body = kManifest}});
    vesk::test::WriteFileBytes(dir / "tmp/veskversion.xml", "stale");
    auto sink = std::make_shared<RecordingSink>();
    StartManifestFetchThread(
        {server.WideUrl("/updates/veskversion.xml"), dir.wide() + L"tmp/veskversion.xml", sink});
    EXPECT_EQ(sink->Next(), RecordingSink::Message(WM_UPDATE_RUN_WORKER, 0, 0));
    EXPECT_EQ(ReadFileBytes(dir / "tmp/veskversion.xml"), kManifest);
    EXPECT_EQ(server.RequestCount("/updates/veskversion.xml"), 4);
}

TEST(ManifestFetch, FourFailedAttemptsPostTheFailure) {
    vesk::test::TempDir dir;
    vesk::test::TestHttpServer server;
    server.Serve("/updates/veskversion.xml", {.status = 503});
    vesk::test::WriteFileBytes(dir / "tmp/veskversion.xml", "stale");
    auto sink = std::make_shared<RecordingSink>();
    StartManifestFetchThread(
        {server.WideUrl("/updates/veskversion.xml"), dir.wide() + L"tmp/veskversion.xml", sink});
    EXPECT_EQ(sink->Next(), RecordingSink::Message(WM_UPDATE_DOWNLOAD_FAILED, 0, 1));
    EXPECT_EQ(server.RequestCount("/updates/veskversion.xml"), 4);
    EXPECT_FALSE(std::filesystem::exists(dir / "tmp/veskversion.xml"));  // deleted first
}

// Neither download goes past what its reader takes: a manifest one byte beyond the parser's
// limit fails every attempt, a signature beyond its own is left out for the check to refuse.
TEST(ManifestFetch, ManifestAndSignatureStopAtTheirLimits) {
    const struct {
        std::size_t manifestBytes;
        std::size_t signatureBytes;
        bool fetched;
        bool signed_;
    } rows[] = {{kMaxManifestBytes, kMaxSignatureBytes, true, true},
                {kMaxManifestBytes + 1, kMaxSignatureBytes, false, false},
                {100, kMaxSignatureBytes + 1, true, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.manifestBytes);
        vesk::test::TempDir dir;
        vesk::test::TestHttpServer server;
        server.Serve("/v.xml", {.body = std::string(row.manifestBytes, 'm')});
        server.Serve("/v.xml.sig", {.body = std::string(row.signatureBytes, 's')});
        auto sink = std::make_shared<RecordingSink>();
        ManifestFetchThread({server.WideUrl("/v.xml"), dir.wide() + L"v.xml", sink, true},
                            kManifestAttempts);
        EXPECT_EQ(sink->Next(), RecordingSink::Message(
                                    row.fetched ? WM_UPDATE_RUN_WORKER : WM_UPDATE_DOWNLOAD_FAILED,
                                    0, row.fetched ? 0 : 1));
        EXPECT_EQ(std::filesystem::exists(dir / "v.xml"), row.fetched);
        EXPECT_EQ(std::filesystem::exists(dir / "v.xml.sig"), row.signed_);
    }
}

TEST(VersionSettings, FirstRunCreatesTheVersionFileFromTheInstallation) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "Config.ini",
                               "[VeskVersionURL]\r\nURL=http://here/updates/veskversion.xml\r\n"
                               "UpdateAddress=http://here/updates/\r\nDirectDownload=1\r\n");
    const VersionSettings first = ReadVersionSettings(dir.wide());
    EXPECT_EQ(first.installedVersion, L"");
    EXPECT_EQ(first.manifestUrl, L"http://here/updates/veskversion.xml");
    EXPECT_EQ(first.packageAddress, L"http://here/updates/");
    EXPECT_EQ(first.directDownload, 1);
    EXPECT_EQ(
        vesk::profile::ReadString(dir.wide() + L"version.ini", L"versioninfo", L"version", L""),
        L"0000");

    // Once the version file exists, the installation's URL no longer counts.
    vesk::profile::WriteString(dir.wide() + L"Config.ini", L"VeskVersionURL", L"URL", L"other");
    vesk::profile::WriteString(dir.wide() + L"version.ini", L"versioninfo", L"version", L"1.2");
    const VersionSettings later = ReadVersionSettings(dir.wide());
    EXPECT_EQ(later.installedVersion, L"1.2");
    EXPECT_EQ(later.manifestUrl, L"http://here/updates/veskversion.xml");
}

TEST(VersionSettings, DefaultsPointAtTheUpdateServer) {
    vesk::test::TempDir dir;
    const VersionSettings s = ReadVersionSettings(dir.wide());
    EXPECT_TRUE(s.manifestUrl.ends_with(L"/updates/veskversion.xml"));
    EXPECT_TRUE(s.packageAddress.ends_with(L"/updates/"));
    EXPECT_EQ(ReadPartnerName(dir.wide()), L"vdrlvesk");
}

}  // namespace
