#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace vesk::test {
namespace {

bool SendAll(int fd, const char* data, size_t size, uint64_t* sent = nullptr) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        if (sent) *sent += static_cast<uint64_t>(n);
    }
    return true;
}

bool SendFile(int fd, const std::filesystem::path& path, uint64_t from, uint64_t count,
              uint64_t* sent) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    off_t offset = static_cast<off_t>(from);
    while (count > 0) {
        const ssize_t n = sendfile(fd, file, &offset, std::min<uint64_t>(count, 1 << 30));
        if (n <= 0) break;
        count -= static_cast<uint64_t>(n);
        *sent += static_cast<uint64_t>(n);
    }
    close(file);
    return count == 0;
}

// If-Range holds when it names the answer's validator; without If-Range a range always holds.
bool RangeStillValid(const TestResponse& r, const TestRequest& request) {
    const auto ifRange = request.headers.find("if-range");
    if (ifRange == request.headers.end()) return true;
    return (!r.etag.empty() && ifRange->second == r.etag) ||
           (!r.lastModified.empty() && ifRange->second == r.lastModified);
}

std::optional<TestRequest> ReadRequest(int fd) {
    std::string data;
    char buffer[4096];
    while (data.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return std::nullopt;
        data.append(buffer, static_cast<size_t>(n));
    }
    std::istringstream lines(data.substr(0, data.find("\r\n\r\n")));
    TestRequest request;
    std::string line;
    std::getline(lines, line);
    std::istringstream(line) >> request.method >> request.path;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        request.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
    }
    return request;
}

// The slice of the body one answer carries: the whole body, or the range asked for.
struct Slice {
    int status = 200;
    uint64_t from = 0;
    uint64_t to = 0;  // one past the last byte
    std::string contentRange;
};

Slice SliceFor(const TestResponse& r, const TestRequest& request, uint64_t size) {
    Slice slice{r.status, 0, size, ""};
    const auto range = request.headers.find("range");
    if (!r.acceptRanges || range == request.headers.end() || !RangeStillValid(r, request))
        return slice;
    unsigned long long first = 0, last = 0;
    const int fields = std::sscanf(range->second.c_str(), "bytes=%llu-%llu", &first, &last);
    if (fields < 1) return slice;
    if (first >= size) return {416, 0, 0, "bytes */" + std::to_string(size)};
    slice.from = first;
    slice.to = fields == 2 ? std::min<uint64_t>(last + 1, size) : size;
    slice.status = 206;
    slice.contentRange = "bytes " + std::to_string(slice.from) + "-" +
                         std::to_string(slice.to - 1) + "/" + std::to_string(size);
    return slice;
}

std::string Head(const TestResponse& r, const Slice& slice) {
    std::string head =
        "HTTP/1.1 " + std::to_string(slice.status) + " Test\r\nConnection: close\r\n";
    const uint64_t length = slice.to - slice.from;
    if (!r.omitLength)
        head += "Content-Length: " + std::to_string(r.announcedLength.value_or(length)) + "\r\n";
    if (r.acceptRanges) head += "Accept-Ranges: bytes\r\n";
    if (!slice.contentRange.empty()) head += "Content-Range: " + slice.contentRange + "\r\n";
    if (!r.etag.empty()) head += "ETag: " + r.etag + "\r\n";
    if (!r.lastModified.empty()) head += "Last-Modified: " + r.lastModified + "\r\n";
    for (const auto& [name, value] : r.headers) head += name + ": " + value + "\r\n";
    return head + "\r\n";
}

}  // namespace

TestHttpServer::TestHttpServer() {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listen, 64);
    socklen_t length = sizeof address;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_releaseCv.notify_all();
    shutdown(m_listen, SHUT_RDWR);
    m_acceptor.join();
    close(m_listen);
    for (auto& worker : m_workers) worker.join();
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::wstring TestHttpServer::WideUrl(const std::string& path) const {
    const std::string url = Url(path);
    return std::wstring(url.begin(), url.end());
}

void TestHttpServer::Serve(const std::string& path, TestResponse response) {
    ServeSequence(path, {std::move(response)});
}

void TestHttpServer::ServeSequence(const std::string& path, std::vector<TestResponse> responses) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(responses);
}

std::uint64_t TestHttpServer::BodyBytesSent(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_bodyBytes.find(path);
    return found == m_bodyBytes.end() ? 0 : found->second;
}

int TestHttpServer::RequestCount(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_counts.find(path);
    return found == m_counts.end() ? 0 : found->second;
}

std::vector<TestRequest> TestHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void TestHttpServer::Release() {
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_releaseCv.notify_all();
}

void TestHttpServer::AcceptLoop() {
    for (;;) {
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;  // shut down
        JoinFinishedWorkers();
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            close(client);
            return;
        }
        m_workers.emplace_back([this, client] { Handle(client); });
    }
}

void TestHttpServer::JoinFinishedWorkers() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(m_mutex);
        for (const std::thread::id id : m_finished) {
            const auto it = std::find_if(m_workers.begin(), m_workers.end(),
                                         [id](const std::thread& t) { return t.get_id() == id; });
            if (it == m_workers.end()) continue;
            ended.push_back(std::move(*it));
            m_workers.erase(it);
        }
        m_finished.clear();
    }
    // Each has only its return left to run.
    for (auto& worker : ended) worker.join();
}

TestResponse TestHttpServer::ResponseFor(const TestRequest& request) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    const int n = m_counts[request.path]++;
    const auto route = m_routes.find(request.path);
    if (route == m_routes.end() || route->second.empty()) return {.status = 404};
    const auto& sequence = route->second;
    return sequence[std::min<size_t>(static_cast<size_t>(n), sequence.size() - 1)];
}

void TestHttpServer::SendBody(int client, const TestResponse& r, const std::string& path,
                              uint64_t from, uint64_t to) {
    const auto send = [&](uint64_t a, uint64_t b) {
        if (a >= b) return true;
        uint64_t sent = 0;
        const bool whole = r.file.empty() ? SendAll(client, r.body.data() + a, b - a, &sent)
                                          : SendFile(client, r.file, a, b - a, &sent);
        std::lock_guard lock(m_mutex);
        m_bodyBytes[path] += sent;
        return whole;
    };
    if (!r.holdAt || *r.holdAt >= to) {
        send(from, to);
        return;
    }
    const uint64_t hold = std::max(from, *r.holdAt);
    if (!send(from, hold)) return;
    {
        std::lock_guard lock(m_mutex);
        ++m_held;
    }
    m_releaseCv.notify_all();
    WaitForRelease();
    send(hold, to);
}

void TestHttpServer::WaitUntilHeld() {
    std::unique_lock lock(m_mutex);
    m_releaseCv.wait(lock, [this] { return m_held > 0 || m_stopping; });
}

void TestHttpServer::WaitForRelease() {
    std::unique_lock lock(m_mutex);
    m_releaseCv.wait(lock, [this] { return m_released || m_stopping; });
}

void TestHttpServer::Handle(int client) {
    // sendfile has no MSG_NOSIGNAL: a client gone mid-body must not end the test process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    if (const auto request = ReadRequest(client)) {
        const TestResponse r = ResponseFor(*request);
        uint64_t size = r.body.size();
        if (!r.file.empty()) size = std::filesystem::file_size(r.file);
        const Slice slice = SliceFor(r, *request, size);
        const std::string head = Head(r, slice);
        if (r.holdBeforeAnswer) {
            {
                std::lock_guard lock(m_mutex);
                ++m_held;
            }
            m_releaseCv.notify_all();
            WaitForRelease();
        }
        if (!r.dropBeforeAnswer && SendAll(client, head.data(), head.size())) {
            if (r.holdAfterHeaders) WaitForRelease();
            uint64_t to = slice.to;
            if (r.sendOnly) to = std::min(to, slice.from + *r.sendOnly);
            if (r.cutAt) to = std::max(slice.from, std::min(to, *r.cutAt));
            if (request->method != "HEAD") SendBody(client, r, request->path, slice.from, to);
        }
    }
    // Half-close and let the client close first, so nothing it has not read yet is lost to
    // a reset.
    shutdown(client, SHUT_WR);
    timeval patience{5, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char sink[4096];
    while (recv(client, sink, sizeof sink, 0) > 0) {
    }
    close(client);
    std::lock_guard lock(m_mutex);
    m_finished.push_back(std::this_thread::get_id());
}

}  // namespace vesk::test
