#include "ServedFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace vesk::update_server {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool HasParentStep(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (path.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

// Whether path is root itself or lies below it; both are canonical.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& root) {
    return std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first == root.end();
}

}  // namespace

OpenFile::~OpenFile() {
    if (m_fd >= 0) close(m_fd);
}

std::optional<std::string> DecodePath(std::string_view path) {
    std::string decoded;
    decoded.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            decoded += path[i];
            continue;
        }
        if (i + 2 >= path.size()) return std::nullopt;
        const int high = HexValue(path[i + 1]);
        const int low = HexValue(path[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

bool ServedFolder::SetRoot(const std::filesystem::path& root) {
    std::error_code error;
    auto canonical = std::filesystem::canonical(root, error);
    if (error || !std::filesystem::is_directory(canonical, error)) return false;
    m_root = std::move(canonical);
    return true;
}

std::optional<OpenFile> ServedFolder::Open(std::string_view path) const {
    const auto decoded = DecodePath(path);
    if (!decoded || decoded->empty() || decoded->front() != '/' || HasParentStep(*decoded) ||
        decoded->find('\\') != std::string::npos) {
        return std::nullopt;
    }
    // Links inside the folder are followed, so the place they lead to is checked, not the name.
    // Leading slashes go: a second one would make the name absolute, away from the root.
    const std::size_t nameStart = decoded->find_first_not_of('/');
    if (nameStart == std::string::npos) return std::nullopt;
    const std::string relative = decoded->substr(nameStart);
    std::error_code error;
    const auto target = std::filesystem::canonical(m_root / relative, error);
    if (error || target == m_root || !IsInside(target, m_root)) return std::nullopt;
    // O_NONBLOCK keeps a pipe placed in the folder from holding us; files ignore it.
    const int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    return std::optional<OpenFile>(std::in_place, fd, info.st_size);
}

}  // namespace vesk::update_server
