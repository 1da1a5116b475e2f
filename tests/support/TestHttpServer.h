#pragma once
// An HTTP server for tests on 127.0.0.1 that serves what each test tells it and misbehaves
// on request: any status, a body shorter than its Content-Length, no Content-Length, a
// connection dropped part-way, an answer held back until the test releases it. It can serve
// byte ranges, validated by If-Range against the ETag or Last-Modified it sends, and cut a
// body at a byte of the whole file. It counts and keeps the requests it saw, and the body
// bytes it sent. Every connection is closed after one answer.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vesk::test {

struct TestResponse {
    int status = 200;
    std::string body;
    // Served from a file instead of body (for large answers); streamed, never held whole.
    std::filesystem::path file;
    // The Content-Length announced: the body's size unless set; omitted when omitLength.
    std::optional<std::uint64_t> announcedLength;
    bool omitLength = false;
    // Send only this many body bytes, then close the connection.
    std::optional<std::uint64_t> sendOnly;
    // Send nothing, not even the headers, until Release() (or the server stops); counts as held.
    bool holdBeforeAnswer = false;
    // Send the headers, then hold the answer until Release() (or the server stops).
    bool holdAfterHeaders = false;
    // Send the body up to this offset of the whole body, then hold the rest until Release().
    std::optional<std::uint64_t> holdAt;
    // Answer "Range: bytes=A-B" (or A-) with 206 and that slice, one that starts past the end
    // with 416; say "Accept-Ranges: bytes". Without it a range is ignored: 200 and the whole.
    bool acceptRanges = false;
    // Accept the connection and close it at once, answering nothing.
    bool dropBeforeAnswer = false;
    std::vector<std::pair<std::string, std::string>> headers;
    // Sent as ETag and Last-Modified; a range whose If-Range names neither gets the whole.
    std::string etag;
    std::string lastModified;
    // Close the connection once the body has gone out up to this offset of the whole file,
    // whatever slice was asked for.
    std::optional<std::uint64_t> cutAt;
};

struct TestRequest {
    std::string method;
    std::string path;
    std::map<std::string, std::string> headers;  // names in lower case
};

class TestHttpServer {
public:
    TestHttpServer();  // listens on 127.0.0.1, on a port of the system's choosing
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return m_port; }
    std::string Url(const std::string& path) const;
    std::wstring WideUrl(const std::string& path) const;

    // Every request for path gets this answer.
    void Serve(const std::string& path, TestResponse response);
    // The n-th request for path gets the n-th answer; the last one repeats.
    void ServeSequence(const std::string& path, std::vector<TestResponse> responses);

    int RequestCount(const std::string& path) const;
    // Body bytes the system took from the server for path, over all its answers.
    std::uint64_t BodyBytesSent(const std::string& path) const;
    std::vector<TestRequest> Requests() const;
    // Blocks until an answer is held at its holdAt offset.
    void WaitUntilHeld();
    // Lets every held answer go on; later answers are held no more.
    void Release();

private:
    void AcceptLoop();
    // Joins the workers that have answered, so a long-running server keeps no ended threads.
    void JoinFinishedWorkers();
    void Handle(int client);
    TestResponse ResponseFor(const TestRequest& request);
    void WaitForRelease();
    void SendBody(int client, const TestResponse& r, const std::string& path, std::uint64_t from,
                  std::uint64_t to);

    int m_listen = -1;
    int m_port = 0;
    bool m_stopping = false;
    bool m_released = false;
    int m_held = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_releaseCv;
    std::map<std::string, std::vector<TestResponse>> m_routes;
    std::map<std::string, int> m_counts;
    std::map<std::string, std::uint64_t> m_bodyBytes;
    std::vector<TestRequest> m_requests;
    std::vector<std::thread> m_workers;
    std::vector<std::thread::id> m_finished;
    std::thread m_acceptor;
};

}  // namespace vesk::test
