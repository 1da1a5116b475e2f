#include "PackageFetch.h"

#include <httplib.h>

#include <fstream>

namespace vesk::tsp_service {
namespace {

constexpr const char* kFallbackName = "package";

std::unique_ptr<httplib::Client> ClientFor(const PackageUrl& url) {
    auto client = std::make_unique<httplib::Client>(url.origin);
    client->set_follow_location(true);
    client->set_connection_timeout(10);
    client->set_read_timeout(30);
    return client;
}

// "bytes 0-0/SIZE" gives SIZE; -1 when absent or unreadable.
std::int64_t TotalFromContentRange(const std::string& value) {
    const std::size_t slash = value.rfind('/');
    if (slash == std::string::npos || slash + 1 >= value.size()) return -1;
    try {
        return std::stoll(value.substr(slash + 1));
    } catch (...) {
        return -1;
    }
}

std::int64_t ContentLength(const httplib::Response& response) {
    if (!response.has_header("Content-Length")) return -1;
    try {
        return std::stoll(response.get_header_value("Content-Length"));
    } catch (...) {
        return -1;
    }
}

}  // namespace

// A fetch's place in its group while it runs.
class FetchMembership {
public:
    FetchMembership(FetchGroup& group, httplib::Client* client) : m_group(group), m_client(client) {
        std::lock_guard lock(m_group.m_mutex);
        m_group.m_clients.insert(m_client);
        m_cutsAtStart = m_group.m_cuts;
    }
    ~FetchMembership() {
        std::lock_guard lock(m_group.m_mutex);
        m_group.m_clients.erase(m_client);
    }
    bool WasCut() {
        std::lock_guard lock(m_group.m_mutex);
        return m_group.m_cuts != m_cutsAtStart;
    }

private:
    FetchGroup& m_group;
    httplib::Client* m_client;
    unsigned m_cutsAtStart = 0;
};

void FetchGroup::CutAll() {
    std::lock_guard lock(m_mutex);
    ++m_cuts;
    for (httplib::Client* client : m_clients) client->stop();
}

std::optional<PackageUrl> SplitPackageUrl(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return std::nullopt;
    const std::string name = url.substr(0, scheme);
    if (name != "http" && name != "https") return std::nullopt;
    const std::size_t path = url.find('/', scheme + 3);
    if (path == scheme + 3) return std::nullopt;
    if (path == std::string::npos) return PackageUrl{url, "/"};
    return PackageUrl{url.substr(0, path), url.substr(path)};
}

std::string PackageFileName(const std::string& url) {
    const auto parts = SplitPackageUrl(url);
    if (!parts) return kFallbackName;
    std::string path = parts->target.substr(0, parts->target.find_first_of("?#"));
    path = path.substr(path.rfind('/') + 1);
    const std::string name = httplib::detail::decode_url(path, false);
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
        return kFallbackName;
    }
    return name;
}

PackageProbe ProbePackage(const PackageUrl& url, FetchGroup& group) {
    PackageProbe probe;
    auto client = ClientFor(url);
    FetchMembership membership(group, client.get());
    const httplib::Headers headers{{"Range", "bytes=0-0"}};
    // Headers tell all we need; a server without ranges would send the whole body, so stop.
    client->Get(
        url.target, headers,
        [&](const httplib::Response& response) {
            if (response.status == 206) {
                probe.reachable = true;
                probe.ranges = true;
                probe.size = TotalFromContentRange(response.get_header_value("Content-Range"));
            } else if (response.status == 200) {
                probe.reachable = true;
                probe.size = ContentLength(response);
            }
            return false;
        },
        [](const char*, std::size_t) { return false; });
    if (probe.ranges && probe.size < 0) probe.ranges = false;
    probe.cut = membership.WasCut();
    return probe;
}

std::optional<std::string> FetchSmall(const PackageUrl& url, std::size_t cap, FetchGroup& group) {
    std::string body;
    bool tooLarge = false;
    auto client = ClientFor(url);
    FetchMembership membership(group, client.get());
    const auto result = client->Get(
        url.target, httplib::Headers{},
        [](const httplib::Response& response) { return response.status == 200; },
        [&](const char* data, std::size_t size) {
            tooLarge = body.size() + size > cap;
            if (!tooLarge) body.append(data, size);
            return !tooLarge;
        });
    if (!result || result->status != 200 || tooLarge || membership.WasCut()) return std::nullopt;
    return body;
}

FetchEnd FetchRange(const PackageUrl& url, std::int64_t from, std::int64_t to,
                    const std::filesystem::path& file,
                    const std::function<bool(std::size_t)>& onChunk, FetchGroup& group) {
    const bool ranged = to >= 0;
    std::ofstream out(file, std::ios::binary | (ranged ? std::ios::app : std::ios::trunc));
    if (!out) return FetchEnd::kFailed;
    httplib::Headers headers;
    if (ranged)
        headers.emplace("Range", "bytes=" + std::to_string(from) + "-" + std::to_string(to - 1));
    bool stopped = false;
    std::int64_t received = 0;
    auto client = ClientFor(url);
    FetchMembership membership(group, client.get());
    const auto result = client->Get(
        url.target, headers,
        [&](const httplib::Response& response) { return response.status == (ranged ? 206 : 200); },
        [&](const char* data, std::size_t size) {
            out.write(data, static_cast<std::streamsize>(size));
            received += static_cast<std::int64_t>(size);
            if (!out) return false;
            stopped = !onChunk(size);
            return !stopped;
        });
    out.close();
    if (stopped || membership.WasCut()) return FetchEnd::kStopped;
    if (!result || !out || (ranged && received != to - from)) return FetchEnd::kFailed;
    return FetchEnd::kComplete;
}

}  // namespace vesk::tsp_service
