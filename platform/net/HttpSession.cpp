#include "net/HttpSession.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <mutex>

#include "text/Utf.h"

namespace vesk::net {
namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The header line is not terminated; read only its digits. A malformed value counts as absent.
std::int64_t ParseLength(std::string_view value) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    std::int64_t length = -1;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    return error == std::errc() && length >= 0 ? length : -1;
}

std::string HeaderValue(std::string_view line, std::size_t nameLength) {
    std::string_view value = line.substr(nameLength);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    return std::string(value);
}

// The session's headers and this request's own, freed with the request.
struct RequestHeaders {
    curl_slist* list = nullptr;
    ~RequestHeaders() {
        if (list) curl_slist_free_all(list);
    }
};

// What one transfer keeps while libcurl calls back.
struct Transfer {
    CURL* curl = nullptr;
    const HttpHandlers* handlers = nullptr;
    HttpResponseHead head;
    bool sawLocation = false;
    bool final = false;
    bool stopped = false;

    void OnHeaderLine(std::string_view line) {
        if (StartsWithNoCase(line, "HTTP/")) {
            head = {};
            sawLocation = false;
        } else if (StartsWithNoCase(line, "content-length:")) {
            head.contentLength = ParseLength(line.substr(15));
        } else if (StartsWithNoCase(line, "content-range:")) {
            head.contentRange = HeaderValue(line, 14);
        } else if (StartsWithNoCase(line, "etag:")) {
            head.etag = HeaderValue(line, 5);
        } else if (StartsWithNoCase(line, "last-modified:")) {
            head.lastModified = HeaderValue(line, 14);
        } else if (StartsWithNoCase(line, "location:")) {
            sawLocation = true;
        } else if (line == "\r\n" || line == "\n") {
            OnHeadersDone();
        }
    }

    void OnHeadersDone() {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &head.status);
        const bool interim = head.status / 100 == 1;
        const bool followed = head.status / 100 == 3 && sawLocation;
        if (interim || followed) return;
        final = true;
        if (!handlers->onResponse(head)) stopped = true;
    }

    bool OnBody(const char* data, size_t size) {
        if (!final) return true;  // the body of a redirect we follow
        while (size > 0 && !stopped) {
            const size_t piece = std::min(size, kMaxBodyPiece);
            if (!handlers->onBody(data, piece)) stopped = true;
            data += piece;
            size -= piece;
        }
        return !stopped;
    }
};

size_t HeaderCallback(char* data, size_t, size_t size, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    transfer->OnHeaderLine(std::string_view(data, size));
    return transfer->stopped ? 0 : size;
}

size_t BodyCallback(char* data, size_t, size_t size, void* user) {
    return static_cast<Transfer*>(user)->OnBody(data, size) ? size : 0;
}

// libcurl opens its sockets inheritable; a program started while a download runs must not
// hold the connection open.
curl_socket_t OpenSocketCallback(void*, curlsocktype, curl_sockaddr* address) {
    const int fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    return fd < 0 ? CURL_SOCKET_BAD : fd;
}

}  // namespace

struct HttpSession::State {
    CURL* curl = nullptr;
    std::vector<std::string> headers;
    std::string userAgent;
    long connectTimeoutMs = 0;
    long stallTimeoutS = 0;
};

HttpSession::HttpSession() : m_state(std::make_unique<State>()) {}

HttpSession::~HttpSession() {
    Close();
}

bool HttpSession::Open(std::string_view userAgent) {
    GlobalInit();
    Close();
    m_state->curl = curl_easy_init();
    if (!m_state->curl) return false;
    m_state->userAgent = userAgent;
    // A fresh copy from the origin, never one from a cache on the way.
    m_state->headers = {"Cache-Control: no-cache", "Pragma: no-cache"};
    return true;
}

void HttpSession::Close() {
    if (m_state->curl) curl_easy_cleanup(m_state->curl);
    m_state->curl = nullptr;
    m_state->headers.clear();
}

bool HttpSession::IsOpen() const {
    return m_state->curl != nullptr;
}

bool HttpSession::SetConnectTimeout(std::chrono::milliseconds timeout) {
    if (!m_state->curl || timeout.count() < 0) return false;
    m_state->connectTimeoutMs = static_cast<long>(timeout.count());
    return true;
}

void HttpSession::SetStallTimeout(std::chrono::milliseconds timeout) {
    m_state->stallTimeoutS = static_cast<long>((timeout.count() + 999) / 1000);
}

FetchOutcome HttpSession::Get(std::wstring_view url, const HttpHandlers& handlers,
                              const std::vector<std::string>& extraHeaders) {
    CURL* curl = m_state->curl;
    if (!curl) return FetchOutcome::NoAnswer;
    RequestHeaders headers;
    const std::vector<std::string>* groups[] = {&m_state->headers, &extraHeaders};
    for (const std::vector<std::string>* group : groups) {
        for (const std::string& header : *group) {
            curl_slist* longer = curl_slist_append(headers.list, header.c_str());
            if (!longer) return FetchOutcome::NoAnswer;
            headers.list = longer;
        }
    }
    Transfer transfer{curl, &handlers};
    const std::string narrowUrl = text::WideToUtf8(url);

    curl_easy_reset(curl);  // keeps the connection cache for the next call
    curl_easy_setopt(curl, CURLOPT_URL, narrowUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, m_state->userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct, whatever *_proxy says
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    // Plain web addresses only, also where a redirect points.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_state->connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kMaxBodyPiece));
    if (m_state->stallTimeoutS > 0) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_state->stallTimeoutS);
    }
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocketCallback);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, HeaderCallback);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, BodyCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);

    const CURLcode rc = curl_easy_perform(curl);
    if (transfer.stopped) return FetchOutcome::Stopped;
    if (rc == CURLE_OK) return FetchOutcome::Completed;
    return transfer.final ? FetchOutcome::BrokenOff : FetchOutcome::NoAnswer;
}

}  // namespace vesk::net
