#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>

#include "HttpGet.h"
#include "ServiceLibrary.h"
#include "ServiceProcess.h"
#include "TempDir.h"
#include "TestHttpServer.h"

namespace {

using vesk::test::ServiceProcess;
using vesk::test::TempDir;
using vesk::test::TestHttpServer;

// The Range header of every request so far ("" when it had none), in arrival order.
std::vector<std::string> RangeHeaders(const TestHttpServer& server) {
    std::vector<std::string> ranges;
    for (const auto& request : server.Requests()) {
        const auto range = request.headers.find("range");
        ranges.push_back(range == request.headers.end() ? "" : range->second);
    }
    return ranges;
}

std::unique_ptr<TransferStatus> Status(const std::wstring& id, int& code) {
    return std::unique_ptr<TransferStatus>(TSP(TSP_Lib_StatusTransfer)(&code, id));
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 engine(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(engine());
    return bytes;
}

bool Running(const TransferStatus& status) {
    return status.statusId == 202 || status.statusId == 204;
}

// Follows a transfer through the library's status calls until `until` holds (by default:
// until it no longer runs); every running answer on the way must have sane counts.
std::unique_ptr<TransferStatus> Follow(
    const std::wstring& id,
    const std::function<bool(const TransferStatus&)>& until = std::not_fn(Running)) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < limit) {
        int code = -1;
        auto status = Status(id, code);
        EXPECT_EQ(code, kServiceOk);
        if (!status || until(*status)) return status;
        EXPECT_TRUE(Running(*status)) << status->statusId;
        if (status->torrentSize > 0) {
            EXPECT_LE(status->bytesDownloaded, status->torrentSize);
        }
        EXPECT_GE(status->bitRate, 0);
    }
    ADD_FAILURE() << "transfer never got there";
    return nullptr;
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TransferServiceTest, DiskTokenValidatesOnlyOnceWrittenToItsFile) {
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    const std::unique_ptr<TokenInfo> token(TSP(TSP_Lib_GetToken)());
    ASSERT_NE(token, nullptr);
    EXPECT_FALSE(token->diskToken.empty());
    EXPECT_FALSE(token->netToken.empty());
    EXPECT_FALSE(token->validated);
    const std::unique_ptr<TokenInfo> early(TSP(TSP_Lib_ValidateDiskToken)(token->netToken));
    ASSERT_NE(early, nullptr);
    EXPECT_FALSE(early->validated);

    const std::string path(token->filePath.begin(), token->filePath.end());
    vesk::test::WriteFileBytes(path, std::string(token->diskToken.begin(), token->diskToken.end()));
    const std::unique_ptr<TokenInfo> valid(TSP(TSP_Lib_ValidateDiskToken)(token->netToken));
    ASSERT_NE(valid, nullptr);
    EXPECT_TRUE(valid->validated);
    const std::unique_ptr<TokenInfo> unknown(TSP(TSP_Lib_ValidateDiskToken)(L"0000"));
    ASSERT_NE(unknown, nullptr);
    EXPECT_FALSE(unknown->validated);
}

TEST(TransferServiceTest, KeyValuesAreKeptAndShutdownEndsTheService) {
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    EXPECT_EQ(TSP(TSP_Lib_GetKeyValue)(L"updater", L"lang"), L"");
    const std::unique_ptr<ServiceStatus> set(TSP(TSP_Lib_SetKeyValue)(L"updater", L"lang", L"de"));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->statusId, 200);
    EXPECT_EQ(TSP(TSP_Lib_GetKeyValue)(L"updater", L"lang"), L"de");
    EXPECT_NE(std::unique_ptr<ServiceStatus>(TSP(TSP_Lib_Upgrade)()), nullptr);

    const std::unique_ptr<ServiceStatus> down(TSP(TSP_Lib_ShutDown)());
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->statusId, 200);
    EXPECT_EQ(service.Wait(), 0);
}

// The second one says so in its ready file too, so that nobody waits there for ever.
TEST(TransferServiceTest, SecondServiceDoesNotShareThePort) {
    ServiceProcess first;
    ASSERT_TRUE(first.ready());
    const TempDir folder;
    const std::filesystem::path readyFile = folder.path() / "ready";
    ServiceProcess second({"--ready-file", readyFile.string()});
    EXPECT_FALSE(second.ready());
    EXPECT_EQ(second.Wait(), 1);
    std::ifstream ready(readyFile);
    std::string word;
    ready >> word;
    EXPECT_EQ(word, "failed");
}

// Silent since the request: no reply once the stall limit (shortened here) has passed.
TEST(TransferServiceTest, HungServiceCountsAsNoReplyAfterTheStallLimit) {
    ServiceProcess service({"--fault", "version=slow", "--slow-ms", "20000"});
    ASSERT_TRUE(service.ready());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vesk::tsp::HttpGet(L"http://127.0.0.1:60524/rest/version?format=xml",
                                 {std::chrono::seconds(1), std::chrono::seconds(1)}),
              "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(TransferServiceTest, PackageArrivesWholeOverSeveralConnections) {
    TestHttpServer server;
    const std::string bytes = RandomBytes(3 * 1024 * 1024 + 123);
    server.Serve("/packages/vesk%201.2.zip", {.body = bytes, .acceptRanges = true});
    ServiceProcess service({"--connections", "4"});
    ASSERT_TRUE(service.ready());
    TempDir dest;
    const std::wstring folder = Wide((dest / "tmp").string());

    int code = -1;
    const std::unique_ptr<TransferStatus> started(TSP(TSP_Lib_StartTransfer)(
        &code, Wide(server.Url("/packages/vesk%201.2.zip")), folder, true));
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(code, kServiceOk);
    ASSERT_FALSE(started->torrentId.empty());
    const auto done = Follow(started->torrentId);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->statusId, 206);
    EXPECT_EQ(done->bytesDownloaded, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(done->torrentSize, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(FilesIn(dest / "tmp"), std::vector<std::string>{"vesk 1.2.zip"});
    EXPECT_TRUE(vesk::test::ReadFileBytes(dest / "tmp" / "vesk 1.2.zip") == bytes);

    int parts = 0;
    for (const std::string& range : RangeHeaders(server))
        parts += !range.empty() && range != "bytes=0-0";
    EXPECT_EQ(parts, 4);

    const std::unique_ptr<std::vector<std::wstring>> files(
        TSP(TSP_Lib_FilesTransfer)(&code, started->torrentId));
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(*files, std::vector<std::wstring>{L"vesk 1.2.zip"});
    const std::unique_ptr<TransferInfo> info(TSP(TSP_Lib_InfoTransfer)(&code, started->torrentId));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->packageSize, static_cast<std::int64_t>(bytes.size()));
    const std::unique_ptr<std::vector<TransferStatus>> list(
        TSP(TSP_Lib_StatusListTransfer)(&code, started->torrentId));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ(list->front().statusId, 206);
}

TEST(TransferServiceTest, PausedTransferResumesWhereItStopped) {
    TestHttpServer server;
    const std::string bytes = RandomBytes(2 * 1024 * 1024);
    server.Serve("/p.zip", {.body = bytes, .holdAt = bytes.size() / 2, .acceptRanges = true});
    ServiceProcess service({"--connections", "1"});
    ASSERT_TRUE(service.ready());
    TempDir dest;

    int code = -1;
    const std::unique_ptr<TransferStatus> started(
        TSP(TSP_Lib_StartTransfer)(&code, Wide(server.Url("/p.zip")), dest.wide(), true));
    ASSERT_NE(started, nullptr);
    server.WaitUntilHeld();
    // The service has everything before the hold once its count says so.
    const auto half = static_cast<std::int64_t>(bytes.size() / 2);
    ASSERT_NE(Follow(started->torrentId,
                     [half](const TransferStatus& s) { return s.bytesDownloaded >= half; }),
              nullptr);
    const std::unique_ptr<TransferStatus> paused(
        TSP(TSP_Lib_PauseTransfer)(&code, started->torrentId));
    ASSERT_NE(paused, nullptr);
    EXPECT_EQ(paused->statusId, 205);
    EXPECT_EQ(paused->bitRate, -1);
    server.Release();
    const std::unique_ptr<TransferStatus> resumed(
        TSP(TSP_Lib_ResumeTransfer)(&code, started->torrentId));
    ASSERT_NE(resumed, nullptr);
    EXPECT_EQ(code, kServiceOk);

    const auto done = Follow(started->torrentId);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->statusId, 206);
    EXPECT_TRUE(vesk::test::ReadFileBytes(dest / "p.zip") == bytes);
    const std::string last = RangeHeaders(server).back();
    ASSERT_TRUE(last.starts_with("bytes=")) << last;
    EXPECT_EQ(std::stoll(last.substr(6)), half) << last;
}

TEST(TransferServiceTest, ServerWithoutRangesIsFetchedWhole) {
    TestHttpServer server;
    const std::string bytes = RandomBytes(1024 * 1024 + 7);
    server.Serve("/p.zip", {.body = bytes});
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    TempDir dest;

    int code = -1;
    const std::unique_ptr<TransferStatus> started(
        TSP(TSP_Lib_StartTransfer)(&code, Wide(server.Url("/p.zip")), dest.wide(), false));
    ASSERT_NE(started, nullptr);
    const auto done = Follow(started->torrentId);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->statusId, 206);
    EXPECT_EQ(done->torrentSize, static_cast<std::int64_t>(bytes.size()));
    EXPECT_TRUE(vesk::test::ReadFileBytes(dest / "p.zip") == bytes);
    for (const std::string& range : RangeHeaders(server))
        EXPECT_TRUE(range.empty() || range == "bytes=0-0") << range;
}

TEST(TransferServiceTest, CancelWithDeleteRemovesThePartialPackage) {
    TestHttpServer server;
    const std::string bytes = RandomBytes(1024 * 1024);
    server.Serve("/p.zip", {.body = bytes, .holdAt = bytes.size() / 2, .acceptRanges = true});
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    TempDir dest;

    int code = -1;
    const std::unique_ptr<TransferStatus> started(
        TSP(TSP_Lib_StartTransfer)(&code, Wide(server.Url("/p.zip")), dest.wide(), true));
    ASSERT_NE(started, nullptr);
    server.WaitUntilHeld();
    EXPECT_NE(
        std::unique_ptr<TransferStatus>(TSP(TSP_Lib_PauseTransfer)(&code, started->torrentId)),
        nullptr);
    server.Release();
    const std::unique_ptr<ServiceStatus> cancelled(
        TSP(TSP_Lib_CancelTransfer)(&code, started->torrentId, true));
    ASSERT_NE(cancelled, nullptr);
    EXPECT_EQ(code, kServiceOk);
    EXPECT_EQ(cancelled->statusId, 200);
    EXPECT_TRUE(FilesIn(dest.path()).empty());
    const auto gone = Status(started->torrentId, code);
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->statusId, 404);
}

// A server that holds its answer to the first question (size and ranges) does not hold up
// a cancel: the service answers it at once instead of after its own read time-out.
TEST(TransferServiceTest, CancelDoesNotWaitForAServerThatHoldsItsAnswer) {
    TestHttpServer server;
    server.Serve("/p.zip", {.body = RandomBytes(4096), .holdBeforeAnswer = true});
    ServiceProcess service;
    ASSERT_TRUE(service.ready());
    TempDir dest;

    int code = -1;
    const std::unique_ptr<TransferStatus> started(
        TSP(TSP_Lib_StartTransfer)(&code, Wide(server.Url("/p.zip")), dest.wide(), true));
    ASSERT_NE(started, nullptr);
    server.WaitUntilHeld();
    const std::wstring cancel =
        L"http://127.0.0.1:60524/rest/transfer.cancel?format=xml&delete=1"
        L"&torrentId=" +
        started->torrentId;
    const std::string reply =
        vesk::tsp::HttpGet(cancel, {std::chrono::seconds(5), std::chrono::seconds(5)});
    EXPECT_NE(reply.find("CancelStatus"), std::string::npos) << reply;
    server.Release();
    EXPECT_TRUE(FilesIn(dest.path()).empty());
}

}  // namespace
