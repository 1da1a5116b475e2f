#include "StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

namespace vesk::packager {
namespace {

mode_t CreationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool Sync(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_passing(std::exchange(other.m_passing, {})) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        if (!m_passing.empty()) ::unlink(m_passing.c_str());
        m_target = std::move(other.m_target);
        m_passing = std::exchange(other.m_passing, {});
    }
    return *this;
}

StagedFile::~StagedFile() {
    if (!m_passing.empty()) ::unlink(m_passing.c_str());
}

bool StagedFile::Create(const std::string& target) {
    const std::string folder = FolderOf(target);
    const std::string pattern = folder + "." + target.substr(folder.size()) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, CreationMode()) == 0;
    ::close(fd);
    m_target = target;
    m_passing = name.data();
    return ok;
}

bool StagedFile::Write(const std::string& bytes) {
    const int fd = ::open(m_passing.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == bytes.size();
}

bool StagedFile::Commit() {
    if (m_passing.empty() || !Sync(m_passing, O_RDONLY)) return false;
    if (::rename(m_passing.c_str(), m_target.c_str()) != 0) return false;
    m_passing.clear();
    const std::string folder = FolderOf(m_target);
    Sync(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
    return true;
}

}  // namespace vesk::packager
