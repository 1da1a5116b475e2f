#include "TricklingServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "clock/Clock.h"

namespace vesk::test {
namespace {

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadRequestHead(int fd) {
    std::string data;
    char buffer[4096];
    while (data.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

TricklingServer::TricklingServer(TrickledAnswer answer) : m_answer(std::move(answer)) {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listen, 16);
    socklen_t length = sizeof address;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TricklingServer::~TricklingServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    shutdown(m_listen, SHUT_RDWR);
    m_thread.join();
    close(m_listen);
}

std::string TricklingServer::Origin() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::wstring TricklingServer::Url(const std::string& path) const {
    const std::string url = Origin() + path;
    return std::wstring(url.begin(), url.end());
}

int TricklingServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void TricklingServer::Serve() {
    for (;;) {
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;  // shut down
        Answer(client);
        close(client);
    }
}

void TricklingServer::Answer(int client) {
    if (!ReadRequestHead(client)) return;
    {
        std::lock_guard lock(m_mutex);
        ++m_requests;
    }
    const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                             std::to_string(m_answer.body.size()) + "\r\n\r\n";
    if (!SendAll(client, head.data(), head.size())) return;
    if (m_answer.silent) {
        std::unique_lock lock(m_mutex);
        m_stopped.wait(lock, [this] { return m_stopping; });
        return;
    }
    const std::size_t pieces = static_cast<std::size_t>(std::max(m_answer.pieces, 1));
    const std::size_t piece = (m_answer.body.size() + pieces - 1) / pieces;
    for (std::size_t sent = 0; sent < m_answer.body.size(); sent += piece) {
        clock::Sleep(m_answer.pause);
        const std::size_t size = std::min(piece, m_answer.body.size() - sent);
        if (!SendAll(client, m_answer.body.data() + sent, size)) return;
    }
}

}  // namespace vesk::test
