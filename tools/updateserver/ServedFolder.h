#pragma once
// The one folder the server shows: maps a request path to a regular file inside it, and
// never to anything outside it, however the path or a link in the folder is written.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::update_server {

// An open file to serve; closes itself.
class OpenFile {
public:
    OpenFile(int fd, std::int64_t size) : m_fd(fd), m_size(size) {}
    OpenFile(OpenFile&& other) noexcept : m_fd(other.m_fd), m_size(other.m_size) {
        other.m_fd = -1;
    }
    OpenFile& operator=(OpenFile&&) = delete;
    OpenFile(const OpenFile&) = delete;
    ~OpenFile();

    int fd() const { return m_fd; }
    std::int64_t size() const { return m_size; }

private:
    int m_fd;
    std::int64_t m_size;
};

class ServedFolder {
public:
    // False when root is no folder.
    bool SetRoot(const std::filesystem::path& root);
    const std::filesystem::path& root() const { return m_root; }

    // path: the request's path, still percent-encoded, without query. nullopt for anything
    // but a readable regular file inside the root.
    std::optional<OpenFile> Open(std::string_view path) const;

private:
    std::filesystem::path m_root;  // canonical
};

// Percent-decodes a request path; nullopt for a bad escape or an encoded NUL.
std::optional<std::string> DecodePath(std::string_view path);

}  // namespace vesk::update_server
