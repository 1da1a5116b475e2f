// vesk_other_user: a program for the tests of who may talk to whom on 127.0.0.1. Run as
// root with --uid, it first becomes that user (groups dropped, its group the same number):
//   vesk_other_user [--uid UID] listen PORT [PAD]
//       listens on 127.0.0.1:PORT (0: a port of the system's choosing), prints "listening
//       PORT" with the port it holds, and answers every GET /rest/METHOD as
//       a logged-in service would, each body padded with blanks to PAD bytes; prints
//       "request PATH" for each request before answering it
//   vesk_other_user [--uid UID] get PORT PATH
//       sends one GET of PATH to 127.0.0.1:PORT and prints "answer N" for the N bytes that
//       came back before the connection closed
// Exit code 0 when done, 2 on a wrong command line, 3 when the user cannot be taken on, 4 when
// a socket fails.

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kMaxRequestHead = 8192;

bool BecomeUser(const char* text) {
    const auto uid = static_cast<uid_t>(std::strtoul(text, nullptr, 10));
    // Dumpable again, as a sanitizer's leak check at exit needs.
    return setgroups(0, nullptr) == 0 && setgid(static_cast<gid_t>(uid)) == 0 && setuid(uid) == 0 &&
           prctl(PR_SET_DUMPABLE, 1) == 0;
}

sockaddr_in Loopback(const char* port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

std::string BodyFor(const std::string& path) {
    if (path.starts_with("/rest/version"))
        return "<VersionResp><buildId>2300</buildId><version>2.3.0.0</version></VersionResp>";
    if (path.starts_with("/rest/loginStatus"))
        return "<LoginStatus><loginStatus>LoggedIn</loginStatus></LoginStatus>";
    if (path.starts_with("/rest/getToken") || path.starts_with("/rest/validateDiskToken"))
        return "<TokenResp><diskToken>d</diskToken><netToken>n</netToken>"
               "<validated>true</validated></TokenResp>";
    return "<ServiceError/>";
}

// The request line's path, read from the head of one request.
std::string ReadPath(int fd) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestHead) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t start = head.find(' ');
    const std::size_t end = start == std::string::npos ? start : head.find(' ', start + 1);
    return end == std::string::npos ? std::string() : head.substr(start + 1, end - start - 1);
}

int Listen(const char* port, std::size_t pad) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const sockaddr_in address = Loopback(port);
    if (listener < 0 ||
        bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0)
        return 4;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    std::printf("listening %u\n", static_cast<unsigned>(ntohs(bound.sin_port)));
    std::fflush(stdout);
    for (;;) {
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        const std::string path = ReadPath(client);
        if (!path.empty()) {
            std::printf("request %s\n", path.c_str());
            std::fflush(stdout);
            std::string body = BodyFor(path);
            if (body.size() < pad) body.append(pad - body.size(), ' ');
            SendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                body);
        }
        close(client);
    }
}

int Get(const char* port, const char* path) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return 4;
    SendAll(fd, std::string("GET ") + path +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    std::size_t received = 0;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        received += static_cast<std::size_t>(n);
    close(fd);
    std::printf("answer %zu\n", received);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int at = 1;
    if (at + 1 < argc && std::strcmp(argv[at], "--uid") == 0) {
        if (!BecomeUser(argv[at + 1])) {
            std::perror("vesk_other_user: taking on the user");
            return 3;
        }
        at += 2;
    }
    if (at + 1 < argc && std::strcmp(argv[at], "listen") == 0)
        return Listen(argv[at + 1], at + 2 < argc ? std::strtoul(argv[at + 2], nullptr, 10) : 0);
    if (at + 2 < argc && std::strcmp(argv[at], "get") == 0) return Get(argv[at + 1], argv[at + 2]);
    std::fprintf(stderr, "usage: vesk_other_user [--uid UID] listen PORT [PAD] | get PORT PATH\n");
    return 2;
}
