#pragma once
// Fetching a package over HTTP for the stand-in service: what the server offers (size,
// ranges) and one byte range of it appended to a file. Safe from any thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

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
};

PackageProbe ProbePackage(const PackageUrl& url);

enum class FetchEnd { kComplete, kStopped, kFailed };

// Appends bytes [from, to) of the package to the file (to < 0: the whole package, from 0,
// without a range). Each chunk is counted through onChunk, whose false stops the fetch.
FetchEnd FetchRange(const PackageUrl& url, std::int64_t from, std::int64_t to,
                    const std::filesystem::path& file,
                    const std::function<bool(std::size_t)>& onChunk);

}  // namespace vesk::tsp_service
