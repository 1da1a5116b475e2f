#pragma once
// Serves one folder read-only over HTTP on 127.0.0.1: GET and HEAD, single byte ranges,
// persistent connections (a web seed's ranges come one after another), each connection on a
// thread of its own; one log line per request.

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "SendPace.h"
#include "ServedFolder.h"

namespace vesk::update_server {

inline constexpr const char* kServerHost = "127.0.0.1";

class FileServer {
public:
    // rateKb: at most so many kilobytes a second for each transfer of a package (".zip");
    // serverRate: at most so many bytes a second for all transfers together; 0 for no limit.
    // Each request's line in log counts the body bytes the socket took, whatever was asked.
    FileServer(ServedFolder folder, std::FILE* log, int rateKb = 0, std::int64_t serverRate = 0)
        : m_folder(std::move(folder)), m_log(log), m_rateKb(rateKb), m_pace(serverRate) {}
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    // port 0: one the system chooses. The port bound, or -1.
    int Bind(int port);
    // Serves until stopFd becomes readable, then breaks off the transfers still running
    // and returns once every connection has ended.
    void Run(int stopFd);

private:
    struct Reply;
    void Serve(int client);
    bool Respond(int client, const std::string& head);
    long long SendFile(int client, const Reply& reply);
    Reply Answer(const std::string& head);
    void Log(const std::string& method, const std::string& path, const std::string& range,
             int status, long long sent);

    ServedFolder m_folder;
    std::FILE* m_log;
    int m_rateKb;
    SendPace m_pace;
    int m_listener = -1;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::set<int> m_clients;
};

}  // namespace vesk::update_server
