#include <gtest/gtest.h>

#include "ByteRange.h"
#include "RequestHead.h"
#include "ServerOptions.h"

namespace {

using vesk::update_server::ByteRange;
using Kind = ByteRange::Kind;

TEST(ByteRangeTest, AnswersEachFormAgainstTheFileSize) {
    struct Row {
        const char* header;
        std::int64_t size;
        Kind kind;
        std::int64_t first;
        std::int64_t last;
    };
    const Row rows[] = {
        {"bytes=2-4", 10, Kind::kPart, 2, 4},
        {"bytes=0-0", 10, Kind::kPart, 0, 0},
        {"bytes=9-9", 10, Kind::kPart, 9, 9},
        {"bytes=5-", 10, Kind::kPart, 5, 9},
        {"bytes=8-30", 10, Kind::kPart, 8, 9},  // an end past the file is cut to it
        {"bytes=-3", 10, Kind::kPart, 7, 9},
        {"bytes=-30", 10, Kind::kPart, 0, 9},
        {" BYTES=1-2 ", 10, Kind::kPart, 1, 2},
        {"bytes=1 - 2", 10, Kind::kWhole, 0, 0},
        {"bytes=0-99999999999999999999999", 10, Kind::kPart, 0, 9},
        {"bytes=10-", 10, Kind::kUnsatisfiable, 0, 0},
        {"bytes=20-30", 10, Kind::kUnsatisfiable, 0, 0},
        {"bytes=-0", 10, Kind::kUnsatisfiable, 0, 0},
        {"bytes=99999999999999999999999-", 10, Kind::kUnsatisfiable, 0, 0},
        // What cannot be read, or is not served, gives the whole file.
        {"", 10, Kind::kWhole, 0, 0},
        {"bytes=4-2", 10, Kind::kWhole, 0, 0},
        {"bytes=0-1,4-5", 10, Kind::kWhole, 0, 0},
        {"bytes=abc", 10, Kind::kWhole, 0, 0},
        {"bytes=-", 10, Kind::kWhole, 0, 0},
        {"bytes=1-2x", 10, Kind::kWhole, 0, 0},
        {"bytes=+1-2", 10, Kind::kWhole, 0, 0},
        {"items=1-2", 10, Kind::kWhole, 0, 0},
        {"bytes=0-5", 0, Kind::kWhole, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.header);
        const ByteRange range = vesk::update_server::ParseByteRange(row.header, row.size);
        EXPECT_EQ(range.kind, row.kind);
        if (row.kind != Kind::kPart) continue;
        EXPECT_EQ(range.first, row.first);
        EXPECT_EQ(range.last, row.last);
    }
}

TEST(RequestHeadTest, TakesMethodPathAndRange) {
    const auto head = vesk::update_server::ParseRequestHead(
        "HEAD /pkg/a%20b.zip?x=1 HTTP/1.1\r\nHost: h\r\nrAnGe:  bytes=1-2 \r\nAccept: */*");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->method, "HEAD");
    EXPECT_EQ(head->path, "/pkg/a%20b.zip");
    EXPECT_EQ(head->range, "bytes=1-2");
    EXPECT_FALSE(vesk::update_server::ParseRequestHead("GET /a HTTP/1.0")->range);
}

TEST(RequestHeadTest, RefusesWhatIsNoHttpRequest) {
    for (const char* head : {"", "GET", "GET /a", "GET a HTTP/1.1", "GET http://h/a HTTP/1.1",
                             "GET /a HTTP/2", "GET /a\nb HTTP/1.1", "GET  HTTP/1.1"}) {
        SCOPED_TRACE(head);
        EXPECT_FALSE(vesk::update_server::ParseRequestHead(head));
    }
}

TEST(RequestHeadTest, KeepsTheConnectionAsTheVersionAndConnectionFieldSay) {
    const struct {
        const char* head;
        bool keepAlive;
    } rows[] = {
        {"GET / HTTP/1.1", true},
        {"GET / HTTP/1.1\r\nConnection: close", false},
        {"GET / HTTP/1.1\r\nconnection: Keep-Alive, CLOSE", false},
        {"GET / HTTP/1.1\r\nConnection: upgrade,close ", false},
        {"GET / HTTP/1.1\r\nConnection: closed", true},
        {"GET / HTTP/1.1\r\nX-Connection: close", true},
        {"GET / HTTP/1.0", false},
        {"GET / HTTP/1.0\r\nConnection: keep-alive", true},
    };
    for (const auto& row : rows) {
        const auto head = vesk::update_server::ParseRequestHead(row.head);
        ASSERT_TRUE(head) << row.head;
        EXPECT_EQ(head->keepAlive, row.keepAlive) << row.head;
    }
}

TEST(ServerOptionsTest, ReadsRootPortRatesAndLogAndRefusesTheRest) {
    struct Row {
        std::vector<std::string> args;
        bool ok;
        int port;
        int rate = 0;
        std::int64_t serverRate = 0;
        std::string log;
    };
    const Row rows[] = {
        {{"--root", "/srv"}, true, 0},
        {{"--port", "8080", "--root", "/srv"}, true, 8080},
        {{"--root", "/srv", "--port", "0"}, true, 0},
        {{}, false, 0},
        {{"--port", "80"}, false, 0},
        {{"--root"}, false, 0},
        {{"--root", "/srv", "--port", "65536"}, false, 0},
        {{"--root", "/srv", "--port", "-1"}, false, 0},
        {{"--root", "/srv", "--port", "80x"}, false, 0},
        {{"--root", "/srv", "--verbose"}, false, 0},
        {{"--root", "/srv", "--rate", "300"}, true, 0, 300},
        {{"--rate", "0", "--root", "/srv", "--port", "9"}, true, 9, 0},
        {{"--root", "/srv", "--rate", "-5"}, false, 0},
        {{"--root", "/srv", "--rate", "2000000"}, false, 0},
        {{"--root", "/srv", "--rate"}, false, 0},
        {{"--root", "/srv", "--server-rate", "4000000", "--log", "/tmp/l"},
         true,
         0,
         0,
         4000000,
         "/tmp/l"},
        {{"--root", "/srv", "--server-rate", "1099511627777"}, false, 0},
        {{"--root", "/srv", "--server-rate", "-1"}, false, 0},
        {{"--root", "/srv", "--log"}, false, 0},
    };
    for (const Row& row : rows) {
        std::string error;
        const auto options = vesk::update_server::ParseServerOptions(row.args, error);
        EXPECT_EQ(options.has_value(), row.ok) << testing::PrintToString(row.args);
        if (!options) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(options->root, "/srv");
        EXPECT_EQ(options->port, row.port);
        EXPECT_EQ(options->rateKb, row.rate);
        EXPECT_EQ(options->serverRate, row.serverRate);
        EXPECT_EQ(options->logPath, row.log);
    }
}

}  // namespace
