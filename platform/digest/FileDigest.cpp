#include "digest/FileDigest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

#include "digest/HexText.h"
#include "fs/Paths.h"

namespace vesk::digest {

namespace {

// Large pieces: fewer reads per package; the digest itself runs at the algorithm's own rate
// (SHA-256 on the processor's SHA instructions), which the piece size does not change.
constexpr std::size_t kPieceBytes = 1u << 20;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// A descriptor of the file at a path, closed when it goes; -1 when the file does not open.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::wstring_view path)
        : m_fd(open(fs::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (m_fd >= 0) close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Bytes read at offset, 0 at the end, -1 on an error.
ssize_t ReadAt(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
    ssize_t n = 0;
    while ((n = pread(fd, buffer, size, static_cast<off_t>(offset))) < 0 && errno == EINTR) {
    }
    return n;
}

// The digest of what the descriptor holds under md in lowercase hexadecimal, read in pieces.
std::optional<std::string> DescriptorDigestHex(int fd, const EVP_MD* md) {
    try {
        DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        if (fd < 0 || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1)
            return std::nullopt;
        std::vector<unsigned char> piece(kPieceBytes);
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        for (std::uint64_t offset = 0;;) {
            const ssize_t n = ReadAt(fd, piece.data(), piece.size(), offset);
            if (n < 0) return std::nullopt;
            if (n == 0) break;
            offset += static_cast<std::uint64_t>(n);
            if (EVP_DigestUpdate(context.get(), piece.data(), static_cast<std::size_t>(n)) != 1)
                return std::nullopt;
        }
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned size = 0;
        if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1) return std::nullopt;
        return ToHex(digest, size);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> FileDigestHex(std::wstring_view path, const EVP_MD* md) {
    try {
        const ReadOnlyFile file(path);
        return DescriptorDigestHex(file.fd(), md);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::string> FileMd5Hex(std::wstring_view path) {
    return FileDigestHex(path, EVP_md5());
}

std::optional<std::string> FileSha256Hex(std::wstring_view path) {
    return FileDigestHex(path, EVP_sha256());
}

std::optional<std::string> DescriptorMd5Hex(int fd) {
    return DescriptorDigestHex(fd, EVP_md5());
}

std::optional<std::string> DescriptorSha256Hex(int fd) {
    return DescriptorDigestHex(fd, EVP_sha256());
}

std::optional<std::string> Sha256Hex(std::string_view bytes) {
    try {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned size = 0;
        if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
            return std::nullopt;
        return ToHex(digest, size);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace vesk::digest
