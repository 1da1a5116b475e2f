#pragma once
// Our stand-in for the Internet API the updater downloads through: a session (the root
// handle) with a user agent, direct access (no proxy, whatever the environment says) and a
// connect time-out, and plain HTTP GETs that always ask the origin for a fresh copy.
// Bodies are handed over in pieces as they arrive. One session belongs to one thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::net {

// The largest piece of body handed to the body handler at once.
inline constexpr std::size_t kMaxBodyPiece = 65536;

struct HttpResponseHead {
    long status = 0;
    std::int64_t contentLength = -1;  // -1 when the answer has no Content-Length
    // The values as the server sent them, blanks around them dropped; empty when absent.
    std::string contentRange;
    std::string etag;
    std::string lastModified;
};

struct HttpHandlers {
    // Once the final answer's headers are in (redirects are followed first). False stops the
    // transfer before any body is read.
    std::function<bool(const HttpResponseHead&)> onResponse;
    // Each piece of body, at most kMaxBodyPiece bytes. False stops the transfer.
    std::function<bool(const char* data, std::size_t size)> onBody;
};

enum class FetchOutcome {
    Completed,  // the answer ended as the server closed or announced it
    Stopped,    // a handler asked to stop
    NoAnswer,   // no answer: bad address, refused, connect time-out
    BrokenOff,  // the answer began but the connection failed part-way
};

class HttpSession {
public:
    HttpSession();
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    bool Open(std::string_view userAgent);
    void Close();
    bool IsOpen() const;

    bool SetConnectTimeout(std::chrono::milliseconds timeout);
    // A transfer that receives nothing for this long is broken off (0: never).
    void SetStallTimeout(std::chrono::milliseconds timeout);

    // extraHeaders ("Name: value") go with this request only, after the session's own.
    FetchOutcome Get(std::wstring_view url, const HttpHandlers& handlers,
                     const std::vector<std::string>& extraHeaders = {});

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace vesk::net
