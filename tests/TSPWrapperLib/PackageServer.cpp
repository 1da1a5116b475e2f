#include "PackageServer.h"

#include <algorithm>

namespace vesk::test {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr const char* kType = "application/octet-stream";

}  // namespace

PackageServer::PackageServer(Ranges ranges) : m_ranges(ranges) {
    m_server.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        Serve(request, response);
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
}

PackageServer::~PackageServer() {
    Release();
    m_server.stop();
    m_thread.join();
}

void PackageServer::Add(const std::string& path, std::string bytes) {
    std::lock_guard lock(m_mutex);
    m_files[path] = std::move(bytes);
}

std::string PackageServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> PackageServer::RangeHeaders() {
    std::lock_guard lock(m_mutex);
    return m_rangeHeaders;
}

void PackageServer::HoldAt(std::size_t offset) {
    std::lock_guard lock(m_mutex);
    m_holdAt = offset;
    m_holding = true;
}

void PackageServer::WaitUntilHeld() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_held > 0; });
}

void PackageServer::Release() {
    std::lock_guard lock(m_mutex);
    m_holding = false;
    m_changed.notify_all();
}

void PackageServer::Serve(const httplib::Request& request, httplib::Response& response) {
    std::string bytes;
    {
        std::lock_guard lock(m_mutex);
        m_rangeHeaders.push_back(request.get_header_value("Range"));
        const auto it = m_files.find(request.path);
        if (it == m_files.end()) {
            response.status = 404;
            return;
        }
        bytes = it->second;
    }
    const auto provide = [this, bytes](std::size_t offset, std::size_t length,
                                       httplib::DataSink& sink) {
        return Provide(bytes, offset, length, sink);
    };
    // Without a length the server can neither announce a size nor serve a range.
    if (m_ranges == Ranges::kRefused) {
        response.set_chunked_content_provider(
            kType, [provide, size = bytes.size()](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= size) {
                    sink.done();
                    return true;
                }
                return provide(offset, size - offset, sink);
            });
    } else {
        response.set_content_provider(bytes.size(), kType, provide);
    }
}

bool PackageServer::Provide(const std::string& bytes, std::size_t offset, std::size_t length,
                            httplib::DataSink& sink) {
    std::size_t size = std::min({kChunk, length, bytes.size() - offset});
    {
        std::unique_lock lock(m_mutex);
        if (m_holding && offset >= m_holdAt) {
            ++m_held;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_holding; });
        }
        if (m_holding) size = std::min(size, m_holdAt - offset);
    }
    return sink.write(bytes.data() + offset, size);
}

}  // namespace vesk::test
