#include "HttpGet.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <memory>

#include "text/Utf.h"

namespace vesk::tsp {
namespace {

struct EasyHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Body {
    std::string bytes;
    std::size_t maxBytes = 0;
};

// libcurl is C: nothing may throw through it, so a failed append ends the transfer instead,
// as does a body that grows past its limit.
std::size_t AppendToBody(char* data, std::size_t size, std::size_t count, void* target) {
    try {
        Body& body = *static_cast<Body*>(target);
        const std::size_t n = size * count;
        if (n > body.maxBytes - body.bytes.size()) return 0;
        body.bytes.append(data, n);
        return n;
    } catch (...) {
        return 0;
    }
}

// libcurl calls this between the connection and the request; the check sees both ends.
int CheckConnection(void* check, char* peerAddress, char* ownAddress, int peerPort, int ownPort) {
    try {
        const net::TcpEnd own{ownAddress, static_cast<std::uint16_t>(ownPort)};
        const net::TcpEnd peer{peerAddress, static_cast<std::uint16_t>(peerPort)};
        return (*static_cast<ConnectionCheck*>(check))(own, peer) ? CURL_PREREQFUNC_OK
                                                                  : CURL_PREREQFUNC_ABORT;
    } catch (...) {
        return CURL_PREREQFUNC_ABORT;
    }
}

// libcurl's own sockets would be inherited by the service or installer another thread starts.
curl_socket_t OpenCloseOnExecSocket(void*, curlsocktype, curl_sockaddr* address) {
    const int fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

long WholeSeconds(std::chrono::milliseconds span) {
    return static_cast<long>(std::chrono::ceil<std::chrono::seconds>(span).count());
}

}  // namespace

std::string HttpGet(const std::wstring& url, HttpLimits limits, std::size_t maxBytes,
                    ConnectionCheck check) {
    if (url.size() > kMaxUrlLength) return {};
    const auto utf8 = text::WideToUtf8Strict(url);
    if (!utf8) return {};
    std::unique_ptr<CURL, EasyHandleDeleter> handle(curl_easy_init());
    if (!handle) return {};
    Body body{{}, maxBytes};
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, utf8->c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendToBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    // A length announced beyond the limit ends the transfer before its body.
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
    if (check) {
        curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &CheckConnection);
        curl_easy_setopt(h, CURLOPT_PREREQDATA, &check);
    }
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &OpenCloseOnExecSocket);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    // No cap on the whole reply: a late one may already have done what it was asked.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, WholeSeconds(limits.stall));
    // Time-outs must not raise signals in a host with threads of its own.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // A proxy from the environment must never stand between us and the local service.
    curl_easy_setopt(h, CURLOPT_NOPROXY, "127.0.0.1,localhost");
    const CURLcode performed = curl_easy_perform(h);
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status < 200 ||
        status > 299 || performed != CURLE_OK) {
        return {};
    }
    return std::move(body.bytes);
}

}  // namespace vesk::tsp
