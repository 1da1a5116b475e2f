// The downloader's part files: continued by ranged requests that carry the kept validator,
// started over where the server's answer says the bytes so far cannot be continued.

#include <gtest/gtest.h>

#include <filesystem>

#include "ContentRange.h"
#include "DownloadPart.h"
#include "INetDownLoad.h"
#include "TempDir.h"
#include "TestHttpServer.h"

namespace {

using vesk::test::ReadFileBytes;
using vesk::test::TestResponse;
using vesk::test::WriteFileBytes;

constexpr char kPath[] = "/p.zip";
constexpr char kV1[] = "\"v1\"";
constexpr char kDate[] = "Tue, 01 Dec 2026 10:00:00 GMT";

std::string Body(size_t size, int seed = 0) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 131 + i / 977 + seed);
    return body;
}

class DownLoadPartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_downloader.Init()); }
    void TearDown() override { m_downloader.Uninit(); }

    int Fetch() { return FetchFrom(m_server); }
    int FetchFrom(const vesk::test::TestHttpServer& server) {
        return m_downloader.DownLoadPart(server.WideUrl(kPath), m_part.wstring(), &m_length);
    }
    void LeavePart(const std::string& bytes, const std::string& validator) {
        WriteFileBytes(m_part, bytes);
        if (!validator.empty()) WriteFileBytes(Validator(), validator);
    }
    std::filesystem::path Validator() const { return m_part.string() + ".validator"; }
    std::string RequestHeader(size_t index, const std::string& name) const {
        return HeaderOf(m_server, index, name);
    }
    static std::string HeaderOf(const vesk::test::TestHttpServer& server, size_t index,
                                const std::string& name) {
        const auto requests = server.Requests();
        if (index >= requests.size()) return "(no request)";
        const auto found = requests[index].headers.find(name);
        return found == requests[index].headers.end() ? "" : found->second;
    }

    vesk::test::TempDir m_dir;
    std::filesystem::path m_part = m_dir / "tmp/p.zip.part";
    vesk::test::TestHttpServer m_server;
    CINetDownLoad m_downloader;
    std::int64_t m_length = -1;
};

// What the server answers to a part of 60,000 bytes of the old file that came with "v1".
struct AnswerRow {
    const char* name;
    TestResponse response;
    std::string keptValidator;
    std::string firstRange;    // the Range of the first request; "" for none
    std::uint64_t bodyServed;  // body bytes the server sent in all
    std::string validatorAfter;
};

TEST_F(DownLoadPartTest, EachAnswerToARangedRequestEndsInTheWholeNewFile) {
    const std::string old = Body(100000);
    const std::string changed = Body(100000, 7);
    const std::vector<AnswerRow> rows = {
        {"the rest by ETag is appended",
         {.body = old, .acceptRanges = true, .etag = kV1},
         kV1,
         "bytes=60000-",
         40000,
         kV1},
        {"the rest by date is appended",
         {.body = old, .acceptRanges = true, .lastModified = kDate},
         kDate,
         "bytes=60000-",
         40000,
         kDate},
        {"a server that ignores ranges sends it all",
         {.body = old, .etag = kV1},
         kV1,
         "bytes=60000-",
         100000,
         kV1},
        {"a changed file is sent whole with its new validator",
         {.body = changed, .acceptRanges = true, .etag = "\"v2\""},
         kV1,
         "bytes=60000-",
         100000,
         "\"v2\""},
        {"a part without a validator is not continued",
         {.body = changed, .acceptRanges = true, .etag = "\"v2\""},
         "",
         "",
         100000,
         "\"v2\""},
        {"an answer without a validator leaves none", {.body = changed}, "", "", 100000, ""},
        {"a weak ETag is no validator, the date is",
         {.body = changed, .acceptRanges = true, .etag = "W/\"v2\"", .lastModified = kDate},
         "",
         "",
         100000,
         kDate},
    };
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(row.name);
        vesk::test::TestHttpServer server;
        std::filesystem::remove(Validator());
        LeavePart(old.substr(0, 60000), row.keptValidator);
        server.Serve(kPath, row.response);
        EXPECT_EQ(FetchFrom(server), kDownLoadOk);
        EXPECT_TRUE(ReadFileBytes(m_part) == row.response.body);
        EXPECT_EQ(m_length, 100000);
        EXPECT_EQ(HeaderOf(server, 0, "range"), row.firstRange);
        EXPECT_EQ(HeaderOf(server, 0, "if-range"), row.firstRange.empty() ? "" : row.keptValidator);
        EXPECT_EQ(server.BodyBytesSent(kPath), row.bodyServed);
        EXPECT_EQ(std::filesystem::exists(Validator()) ? ReadFileBytes(Validator()) : "",
                  row.validatorAfter);
    }
}

TEST_F(DownLoadPartTest, ABodyCutAt90PercentIsContinuedAndServedOnce) {
    const std::string body = Body(1000000);
    m_server.ServeSequence(kPath,
                           {{.body = body, .acceptRanges = true, .etag = kV1, .cutAt = 900000},
                            {.body = body, .acceptRanges = true, .etag = kV1}});
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_TRUE(ReadFileBytes(m_part) == body);
    EXPECT_EQ(m_server.RequestCount(kPath), 2);
    EXPECT_EQ(RequestHeader(1, "range"), "bytes=900000-");
    EXPECT_EQ(RequestHeader(1, "if-range"), kV1);
    EXPECT_EQ(m_server.BodyBytesSent(kPath), body.size());
}

TEST_F(DownLoadPartTest, A416StartsOverUnlessThePartIsTheWholeFile) {
    const std::string body = Body(50000);
    // Longer than the file now is: no range of it exists.
    LeavePart(Body(60000, 3), kV1);
    m_server.Serve(kPath, {.body = body, .acceptRanges = true, .etag = kV1});
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_TRUE(ReadFileBytes(m_part) == body);
    EXPECT_EQ(m_server.RequestCount(kPath), 2);
    EXPECT_EQ(RequestHeader(1, "range"), "");

    // Exactly the file: the server has nothing more to send, and the part is whole.
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_TRUE(ReadFileBytes(m_part) == body);
    EXPECT_EQ(RequestHeader(2, "range"), "bytes=50000-");
    EXPECT_EQ(m_server.BodyBytesSent(kPath), body.size());
}

TEST_F(DownLoadPartTest, TheSizeLimitBoundsThePart) {
    const std::string body = Body(50000);
    m_server.Serve(kPath, {.body = body, .acceptRanges = true, .etag = kV1});
    m_downloader.SetSizeLimit(50000);
    // At the limit already: whole without asking; the check decides what it is.
    LeavePart(Body(50000, 5), kV1);
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_EQ(m_server.RequestCount(kPath), 0);
    EXPECT_EQ(m_length, 50000);
    // Past the limit: dropped, and fetched from the first byte.
    LeavePart(Body(50001, 5), kV1);
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_TRUE(ReadFileBytes(m_part) == body);
    EXPECT_EQ(RequestHeader(0, "range"), "");
    // A file on the server that grew past the limit: neither the part nor its validator stays.
    m_downloader.SetSizeLimit(40000);
    LeavePart(body.substr(0, 30000), kV1);
    EXPECT_EQ(Fetch(), kDownLoadTooLarge);
    EXPECT_FALSE(std::filesystem::exists(m_part));
    EXPECT_FALSE(std::filesystem::exists(Validator()));
}

TEST_F(DownLoadPartTest, ARefusedAnswerKeepsThePartForLater) {
    LeavePart("first half", kV1);
    m_server.Serve(kPath, {.status = 503, .body = "busy"});
    EXPECT_EQ(Fetch(), kDownLoadNetworkError);
    EXPECT_EQ(m_server.RequestCount(kPath), 1);
    EXPECT_EQ(ReadFileBytes(m_part), "first half");
    EXPECT_EQ(ReadFileBytes(Validator()), kV1);
}

// A slice other than the rest asked for would splice two places of the file.
TEST_F(DownLoadPartTest, AWrongSliceStartsOver) {
    const std::string body = Body(50000);
    LeavePart(body.substr(0, 20000), kV1);
    m_server.ServeSequence(kPath, {{.status = 206,
                                    .body = body.substr(10000),
                                    .headers = {{"Content-Range", "bytes 10000-49999/50000"}}},
                                   {.body = body, .etag = kV1}});
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_TRUE(ReadFileBytes(m_part) == body);
    EXPECT_EQ(RequestHeader(1, "range"), "");
}

TEST_F(DownLoadPartTest, ALinkInThePartsPlaceIsReplacedNotWrittenThrough) {
    const std::string body = Body(50000);
    WriteFileBytes(m_dir / "elsewhere", "untouched");
    std::filesystem::create_directories(m_part.parent_path());
    std::filesystem::create_symlink(m_dir / "elsewhere", m_part);
    WriteFileBytes(Validator(), kV1);
    m_server.Serve(kPath, {.body = body, .acceptRanges = true, .etag = kV1});
    EXPECT_EQ(Fetch(), kDownLoadOk);
    EXPECT_EQ(ReadFileBytes(m_dir / "elsewhere"), "untouched");
    EXPECT_FALSE(std::filesystem::is_symlink(m_part));
    EXPECT_TRUE(ReadFileBytes(m_part) == body);
}

std::vector<std::pair<int, int>> g_progress;
void RecordProgress(int expected, int received) {
    g_progress.emplace_back(expected, received);
}

TEST_F(DownLoadPartTest, ProgressCountsTheResumedBytesAsDone) {
    g_progress.clear();
    const std::string body = Body(300000);
    LeavePart(body.substr(0, 200000), kV1);
    m_server.Serve(kPath, {.body = body, .acceptRanges = true, .etag = kV1});
    m_downloader.SetProgressCallback(RecordProgress);
    ASSERT_EQ(Fetch(), kDownLoadOk);
    ASSERT_FALSE(g_progress.empty());
    EXPECT_GT(g_progress.front().second, 200000);
    EXPECT_EQ(g_progress.back(), std::make_pair(300000, 300000));
}

TEST(ContentRangeTest, ParsesSlicesAndUnsatisfiedRanges) {
    struct Row {
        const char* value;
        bool valid;
        std::uint64_t first, last, total;
    };
    const Row rows[] = {
        {"bytes 0-99/100", true, 0, 99, 100},
        {"bytes 90-99/100", true, 90, 99, 100},
        {"bytes */100", true, 0, 0, 100},
        {"bytes 0-99/*", true, 0, 99, 0},
        {"bytes 0-100/100", false},  // past the end
        {"bytes 50-49/100", false},
        {"bytes */*", false},
        {"items 0-99/100", false},
        {"bytes 0-99/100x", false},
        {"bytes -1-99/100", false},
        {"bytes 0-99", false},
        {"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        const auto range = ParseContentRange(row.value);
        ASSERT_EQ(range.has_value(), row.valid);
        if (!range) continue;
        EXPECT_EQ(range->first.value_or(0), row.first);
        EXPECT_EQ(range->last, row.last);
        EXPECT_EQ(range->total.value_or(0), row.total);
    }
}

}  // namespace
