#include "FileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include "ByteRange.h"
#include "RequestHead.h"

namespace vesk::update_server {
namespace {

constexpr std::size_t kMaxHead = 16 * 1024;
// A client that sends or takes nothing for this long is dropped, so it cannot hold a thread.
constexpr int kIdleSeconds = 30;
constexpr std::size_t kSendChunk = 1 << 20;

const char* StatusText(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 416:
            return "Range Not Satisfiable";
        default:
            return "Error";
    }
}

std::string ContentType(const std::string& path) {
    const auto endsWith = [&](std::string_view end) {
        return path.size() >= end.size() &&
               path.compare(path.size() - end.size(), end.size(), end) == 0;
    };
    if (endsWith(".xml")) return "text/xml";
    if (endsWith(".txt") || endsWith(".ini")) return "text/plain";
    return "application/octet-stream";
}

// Request text in the log stays on its line.
std::string Printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return text.empty() ? "-" : text;
}

bool SendAll(int socket, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads up to the blank line that ends the head, keeping in pending what follows it (the next
// request of the connection); nullopt when the client stops first or the head is too long.
std::optional<std::string> ReadHead(int socket, std::string& pending) {
    char buffer[4096];
    while (pending.size() <= kMaxHead) {
        const std::size_t end = pending.find("\r\n\r\n");
        if (end != std::string::npos) {
            std::string head = pending.substr(0, end);
            pending.erase(0, end + 4);
            return head;
        }
        const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
    return std::nullopt;
}

}  // namespace

struct FileServer::Reply {
    std::string method = "-";
    std::string path = "-";
    std::string range = "-";
    int status = 400;
    std::string headers;    // the fields after the status line, each ending with CRLF
    std::string errorBody;  // sent instead of file bytes
    std::optional<OpenFile> file;
    std::int64_t from = 0;
    std::int64_t length = 0;  // body length, file bytes or error text
    bool keepAlive = false;
};

FileServer::~FileServer() {
    if (m_listener >= 0) close(m_listener);
}

int FileServer::Bind(int port) {
    // Non-blocking, so a connection that goes before we take it never holds the loop.
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0) return -1;
    const int yes = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, kServerHost, &address.sin_addr);
    socklen_t size = sizeof address;
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, SOMAXCONN) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

void FileServer::Run(int stopFd) {
    pollfd watched[2] = {{stopFd, POLLIN, 0}, {m_listener, POLLIN, 0}};
    for (;;) {
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;  // the stop signal's byte is seen on the next turn
            break;
        }
        if (watched[0].revents != 0) break;
        if ((watched[1].revents & POLLIN) == 0) continue;
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        const timeval idle{kIdleSeconds, 0};
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &idle, sizeof idle);
        std::lock_guard lock(m_mutex);
        try {
            std::thread([this, client] { Serve(client); }).detach();
            m_clients.insert(client);
        } catch (const std::exception&) {
            close(client);  // out of threads: this client is turned away, the others go on
        }
    }
    std::unique_lock lock(m_mutex);
    for (const int client : m_clients) shutdown(client, SHUT_RDWR);
    m_ended.wait(lock, [this] { return m_clients.empty(); });
}

// Answers the connection's requests in turn until the client or an answer ends it.
void FileServer::Serve(int client) {
    std::string pending;
    while (const auto head = ReadHead(client, pending)) {
        if (!Respond(client, *head)) break;
    }
    shutdown(client, SHUT_WR);
    // Forgotten before it is closed, so Run never shuts down a number reused by a new client.
    std::lock_guard lock(m_mutex);
    m_clients.erase(client);
    close(client);
    m_ended.notify_all();
}

// One request's answer; whether the connection may carry another.
bool FileServer::Respond(int client, const std::string& head) {
    const Reply reply = Answer(head);
    std::string text =
        "HTTP/1.1 " + std::to_string(reply.status) + " " + StatusText(reply.status) + "\r\n" +
        reply.headers + "Content-Length: " + std::to_string(reply.length) +
        "\r\nAccept-Ranges: bytes\r\nConnection: " + (reply.keepAlive ? "keep-alive" : "close") +
        "\r\n\r\n";
    const bool withBody = reply.method != "HEAD";
    if (withBody && !reply.file) text += reply.errorBody;
    long long sent = 0;
    const bool headSent = SendAll(client, text);
    if (headSent) {
        if (!reply.file || !withBody) {
            sent = withBody ? reply.length : 0;
        } else {
            sent = SendFile(client, reply);
        }
    }
    Log(reply.method, reply.path, reply.range, reply.status, sent);
    return headSent && reply.keepAlive && (!withBody || !reply.file || sent == reply.length);
}

// The body from the file; a package with a rate in tenths of a second's worth, each sent no
// earlier than the rate allows, and every file in turns of the server's shared rate. The bytes
// the socket took.
long long FileServer::SendFile(int client, const Reply& reply) {
    using std::chrono::steady_clock;
    const bool package = reply.path.ends_with(".zip");
    const std::int64_t perTenth = package ? std::int64_t{m_rateKb} * 1024 / 10 : 0;
    std::int64_t most = perTenth > 0 ? std::min<std::int64_t>(perTenth, kSendChunk) : kSendChunk;
    if (m_pace.Limited()) most = std::min(most, m_pace.Chunk());
    const steady_clock::time_point start = steady_clock::now();
    off_t offset = reply.from;
    long long sent = 0;
    while (sent < reply.length) {
        const auto chunk =
            static_cast<std::size_t>(std::min<std::int64_t>(reply.length - sent, most));
        steady_clock::time_point due = steady_clock::now();
        if (perTenth > 0) due = start + std::chrono::milliseconds(sent * 100 / perTenth);
        if (m_pace.Limited())
            due = std::max(due, m_pace.Reserve(static_cast<std::int64_t>(chunk), due));
        std::this_thread::sleep_until(due);
        ssize_t put = -1;
        do {
            put = sendfile(client, reply.file->fd(), &offset, chunk);
        } while (put < 0 && errno == EINTR);
        if (put <= 0) break;  // the client left, or the file shrank under us
        sent += put;
    }
    return sent;
}

FileServer::Reply FileServer::Answer(const std::string& head) {
    Reply reply;
    const auto request = ParseRequestHead(head);
    const auto refuse = [&reply](int status) {
        reply.status = status;
        reply.errorBody = std::to_string(status) + " " + StatusText(status) + "\n";
        reply.length = static_cast<std::int64_t>(reply.errorBody.size());
        reply.headers += "Content-Type: text/plain\r\n";
        return std::move(reply);
    };
    if (!request) return refuse(400);
    reply.method = request->method;
    reply.path = request->path;
    // A request of another method may carry a body we do not read.
    reply.keepAlive = request->keepAlive && (request->method == "GET" || request->method == "HEAD");
    if (request->range) reply.range = *request->range;
    if (reply.method != "GET" && reply.method != "HEAD") {
        reply.headers = "Allow: GET, HEAD\r\n";
        return refuse(405);
    }
    auto file = m_folder.Open(request->path);
    if (!file) return refuse(404);

    const std::int64_t size = file->size();
    const ByteRange range = ParseByteRange(request->range.value_or(""), size);
    if (range.kind == ByteRange::Kind::kUnsatisfiable) {
        reply.headers = "Content-Range: bytes */" + std::to_string(size) + "\r\n";
        return refuse(416);
    }
    reply.headers = "Content-Type: " + ContentType(request->path) + "\r\n";
    if (range.kind == ByteRange::Kind::kPart) {
        reply.status = 206;
        reply.from = range.first;
        reply.length = range.last - range.first + 1;
        reply.headers += "Content-Range: bytes " + std::to_string(range.first) + "-" +
                         std::to_string(range.last) + "/" + std::to_string(size) + "\r\n";
    } else {
        reply.status = 200;
        reply.length = size;
    }
    reply.file.emplace(std::move(*file));
    return reply;
}

void FileServer::Log(const std::string& method, const std::string& path, const std::string& range,
                     int status, long long sent) {
    std::lock_guard lock(m_mutex);
    std::fprintf(m_log, "%s %s %s %d %lld\n", Printable(method).c_str(), Printable(path).c_str(),
                 Printable(range).c_str(), status, sent);
    std::fflush(m_log);
}

}  // namespace vesk::update_server
