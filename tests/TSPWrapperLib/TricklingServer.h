#pragma once
// An HTTP server on 127.0.0.1 for the library's time limits: it answers every request
// with one body sent in pieces, a pause before each (through the process clock), or it
// sends the headers and then stays silent until it is destroyed. One request at a time.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace vesk::test {

struct TrickledAnswer {
    std::string body;
    int pieces = 1;
    std::chrono::milliseconds pause{0};
    bool silent = false;  // headers only, then nothing more
};

class TricklingServer {
public:
    explicit TricklingServer(TrickledAnswer answer);
    ~TricklingServer();
    TricklingServer(const TricklingServer&) = delete;
    TricklingServer& operator=(const TricklingServer&) = delete;

    std::wstring Url(const std::string& path) const;
    // The origin alone, "http://127.0.0.1:PORT".
    std::string Origin() const;
    int Requests() const;

private:
    void Serve();
    void Answer(int client);

    const TrickledAnswer m_answer;
    int m_listen = -1;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    int m_requests = 0;
    std::thread m_thread;
};

}  // namespace vesk::test
