#include "net/SocketDiag.h"

#include <arpa/inet.h>
#include <errno.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace vesk::net {
namespace {

// TCP_NEW_SYN_RECV, which the kernel reports as TCP_SYN_RECV.
constexpr unsigned kHalfOpen = TCP_SYN_RECV;
constexpr std::size_t kAnswerBytes = 8192;

struct Request {
    nlmsghdr header;
    inet_diag_req_v2 query;
};

// The address in the kernel's form for family; an IPv4 address mapped into IPv6 counts as
// IPv4, as the kernel files such connections.
bool ToKernel(const std::string& text, int& family, __be32 (&out)[4]) {
    std::memset(out, 0, sizeof out);
    in6_addr v6{};
    if (inet_pton(AF_INET, text.c_str(), &out[0]) == 1) {
        family = AF_INET;
        return true;
    }
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) return false;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        family = AF_INET;
        std::memcpy(&out[0], v6.s6_addr + 12, 4);
    } else {
        family = AF_INET6;
        std::memcpy(out, v6.s6_addr, 16);
    }
    return true;
}

bool BuildQuery(const TcpEnd& local, const TcpEnd& remote, Request& request) {
    int localFamily = 0;
    int remoteFamily = 0;
    inet_diag_sockid& id = request.query.id;
    if (!ToKernel(local.address, localFamily, id.idiag_src) ||
        !ToKernel(remote.address, remoteFamily, id.idiag_dst) || localFamily != remoteFamily)
        return false;
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    // No dump: one socket, looked up as a segment would be.
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.query.sdiag_family = static_cast<__u8>(localFamily);
    request.query.sdiag_protocol = IPPROTO_TCP;
    request.query.idiag_states = ~0u;
    id.idiag_sport = htons(local.port);
    id.idiag_dport = htons(remote.port);
    id.idiag_cookie[0] = id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    return true;
}

DiagSocket::Kind KindOf(unsigned state) {
    if (state == TCP_LISTEN) return DiagSocket::Kind::Listening;
    if (state == kHalfOpen) return DiagSocket::Kind::HalfOpen;
    if (state == TCP_TIME_WAIT) return DiagSocket::Kind::Closed;
    return DiagSocket::Kind::Connected;
}

constexpr std::size_t Aligned(std::size_t size) {
    return (size + NLMSG_ALIGNTO - 1) & ~std::size_t{NLMSG_ALIGNTO - 1};
}

// The payload of the first message, when it holds a whole Payload.
template <class Payload>
const Payload* PayloadOf(const char* bytes, std::size_t size) {
    const std::size_t start = Aligned(sizeof(nlmsghdr));
    return size >= start + sizeof(Payload) ? reinterpret_cast<const Payload*>(bytes + start)
                                           : nullptr;
}

// The kernel answers one lookup with one message: the socket, or an error.
DiagSocket ReadAnswer(const char* bytes, std::size_t size) {
    DiagSocket socket;
    const auto* header = reinterpret_cast<const nlmsghdr*>(bytes);
    if (size < sizeof(nlmsghdr) || header->nlmsg_len > size) return socket;
    if (header->nlmsg_type == NLMSG_ERROR) {
        const auto* error = PayloadOf<nlmsgerr>(bytes, header->nlmsg_len);
        if (error && error->error == -ENOENT) socket.answer = DiagSocket::Answer::Absent;
        return socket;
    }
    const auto* found = header->nlmsg_type == SOCK_DIAG_BY_FAMILY
                            ? PayloadOf<inet_diag_msg>(bytes, header->nlmsg_len)
                            : nullptr;
    if (!found) return socket;
    socket.answer = DiagSocket::Answer::Found;
    socket.owner = found->idiag_uid;
    socket.kind = KindOf(found->idiag_state);
    return socket;
}

}  // namespace

DiagSocket LookUpSocket(const TcpEnd& local, const TcpEnd& remote) {
    Request request{};
    try {
        if (!BuildQuery(local, remote, request)) return {};
    } catch (...) {
        return {};
    }
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) return {};
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    alignas(nlmsghdr) char answer[kAnswerBytes];
    ssize_t received = -1;
    if (sendto(fd, &request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&kernel),
               sizeof kernel) == static_cast<ssize_t>(sizeof request)) {
        do {
            received = recv(fd, answer, sizeof answer, 0);
        } while (received < 0 && errno == EINTR);
    }
    close(fd);
    return received > 0 ? ReadAnswer(answer, static_cast<std::size_t>(received)) : DiagSocket{};
}

}  // namespace vesk::net
