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

// libcurl is C: nothing may throw through it, so a failed append ends the transfer instead.
std::size_t AppendToBuffer(char* data, std::size_t size, std::size_t count, void* buffer) {
    try {
        static_cast<std::string*>(buffer)->append(data, size * count);
        return size * count;
    } catch (...) {
        return 0;
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

std::string HttpGet(const std::wstring& url, HttpLimits limits) {
    if (url.size() > kMaxUrlLength) return {};
    const auto utf8 = text::WideToUtf8Strict(url);
    if (!utf8) return {};
    std::unique_ptr<CURL, EasyHandleDeleter> handle(curl_easy_init());
    if (!handle) return {};
    std::string body;
    CURL* h = handle.get();
    curl_easy_setopt(h, CURLOPT_URL, utf8->c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendToBuffer);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
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
    return body;
}

}  // namespace vesk::tsp
