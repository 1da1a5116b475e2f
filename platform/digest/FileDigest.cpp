#include "digest/FileDigest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "digest/HexText.h"
#include "fs/Paths.h"

namespace vesk::digest {

namespace {

constexpr std::size_t kPieceBytes = 1u << 16;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::wstring_view path)
        : m_fd(open(fs::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (m_fd >= 0) close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Bytes read, 0 at the end, -1 on an error.
    ssize_t Read(unsigned char* buffer, std::size_t size) {
        ssize_t n = 0;
        while ((n = read(m_fd, buffer, size)) < 0 && errno == EINTR) {
        }
        return n;
    }

private:
    int m_fd;
};

// The digest of the file's content under md in lowercase hexadecimal, read in pieces.
std::optional<std::string> FileDigestHex(std::wstring_view path, const EVP_MD* md) {
    try {
        ReadOnlyFile file(path);
        DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        if (!file.IsOpen() || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1)
            return std::nullopt;
        std::vector<unsigned char> piece(kPieceBytes);
        for (;;) {
            const ssize_t n = file.Read(piece.data(), piece.size());
            if (n < 0) return std::nullopt;
            if (n == 0) break;
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

}  // namespace

std::optional<std::string> FileMd5Hex(std::wstring_view path) {
    return FileDigestHex(path, EVP_md5());
}

std::optional<std::string> FileSha256Hex(std::wstring_view path) {
    return FileDigestHex(path, EVP_sha256());
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
