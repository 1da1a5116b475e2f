#pragma once
// Fetching a package over HTTP for the stand-in service: what the server offers (size,
// ranges) and one byte range of it appended to a file. Safe from any thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace httplib {
class Client;
}

namespace vesk::tsp_service {

struct PackageUrl {
    std::string origin;  // "http://host:port"
    std::string target;  // "/path?query"
};

std::optional<PackageUrl> SplitPackageUrl(const std::string& url);
// The URL's last path segment, decoded; "package" when that is no safe file name.
std::string PackageFileName(const std::string& url);

struct PackageProbe {
    bool reachable = false;
    std::int64_t size = -1;  // -1: unknown
    bool ranges = false;
    bool cut = false;  // a pause or a stop ended it: it says nothing of the server
};

enum class FetchEnd { kComplete, kStopped, kFailed };

// The fetches of one transfer, so a pause or a stop takes effect at once even while a
// fetch waits for a stalled server.
class FetchGroup {
public:
    // Every fetch in progress ends as stopped.
    void CutAll();

private:
    friend class FetchMembership;
    std::mutex m_mutex;
    std::set<httplib::Client*> m_clients;
    unsigned m_cuts = 0;
};

// Asks the server for the package's size and whether it serves ranges; one of the group's
// fetches, so a stop need not wait for a server that holds its answer.
PackageProbe ProbePackage(const PackageUrl& url, FetchGroup& group);

// The whole body of a small document (a package's torrent), when the server has it and it
// is no larger than cap bytes; nullopt otherwise.
std::optional<std::string> FetchSmall(const PackageUrl& url, std::size_t cap, FetchGroup& group);

// Appends bytes [from, to) of the package to the file (to < 0: the whole package, from 0,
// without a range). Each chunk is counted through onChunk, whose false stops the fetch.
FetchEnd FetchRange(const PackageUrl& url, std::int64_t from, std::int64_t to,
                    const std::filesystem::path& file,
                    const std::function<bool(std::size_t)>& onChunk, FetchGroup& group);

}  // namespace vesk::tsp_service
