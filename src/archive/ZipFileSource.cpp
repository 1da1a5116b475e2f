#include "ZipFileSource.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Four of the reader's refills at a time; fixed, whatever the size of an entry.
constexpr std::size_t kReadAhead = 65536;

struct Source {
    int fd = -1;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    std::uint64_t bufferStart = 0;
    std::size_t bufferLength = 0;
    bool failed = false;
    std::unique_ptr<char[]> buffer;
};

// Bytes read at offset; 0 at the end, -1 on failure.
ssize_t ReadAt(Source& source, char* to, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t n = pread(source.fd, to, size, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR) {
            if (n < 0) source.failed = true;
            return n;
        }
    }
}

// Copies what the buffer holds at the current position; 0 when it holds nothing there.
std::size_t TakeBuffered(Source& source, char* to, std::size_t size) {
    if (source.position < source.bufferStart ||
        source.position >= source.bufferStart + source.bufferLength) {
        return 0;
    }
    const std::size_t at = static_cast<std::size_t>(source.position - source.bufferStart);
    const std::size_t n = std::min(size, source.bufferLength - at);
    std::memcpy(to, source.buffer.get() + at, n);
    return n;
}

// Reads the next piece: a large request goes straight to the caller, a small one through
// a refill of the buffer.
ssize_t ReadPiece(Source& source, char* to, std::size_t size) {
    if (const std::size_t n = TakeBuffered(source, to, size); n > 0) return static_cast<ssize_t>(n);
    if (size >= kReadAhead) return ReadAt(source, to, size, source.position);
    const ssize_t filled = ReadAt(source, source.buffer.get(), kReadAhead, source.position);
    source.bufferStart = source.position;
    source.bufferLength = filled > 0 ? static_cast<std::size_t>(filled) : 0;
    return filled <= 0 ? filled : static_cast<ssize_t>(TakeBuffered(source, to, size));
}

// The "path" is the caller's descriptor; the source reads from a duplicate of its own.
voidpf Open(voidpf, const void* descriptor, int mode) {
    if (!descriptor || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
        return nullptr;
    }
    auto source = std::unique_ptr<Source>(new (std::nothrow) Source);
    if (!source) return nullptr;
    source->buffer.reset(new (std::nothrow) char[kReadAhead]);
    source->fd = fcntl(*static_cast<const int*>(descriptor), F_DUPFD_CLOEXEC, 0);
    struct stat info {};
    if (!source->buffer || source->fd < 0 || fstat(source->fd, &info) != 0) {
        if (source->fd >= 0) close(source->fd);
        return nullptr;
    }
    source->size = static_cast<std::uint64_t>(info.st_size);
    posix_fadvise(source->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return source.release();
}

uLong Read(voidpf, voidpf stream, void* to, uLong size) {
    Source& source = *static_cast<Source*>(stream);
    char* const out = static_cast<char*>(to);
    uLong done = 0;
    while (done < size) {
        const ssize_t n = ReadPiece(source, out + done, size - done);
        if (n <= 0) break;
        done += static_cast<uLong>(n);
        source.position += static_cast<std::uint64_t>(n);
    }
    return done;
}

uLong Write(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T Tell(voidpf, voidpf stream) {
    return static_cast<Source*>(stream)->position;
}

// Positions past the end are allowed, as with lseek; reading there gives nothing.
long Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    Source& source = *static_cast<Source*>(stream);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            source.position = offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_CUR:
            source.position += offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_END:
            source.position = source.size + offset;
            return 0;
        default:
            return -1;
    }
}

int Close(voidpf, voidpf stream) {
    Source* source = static_cast<Source*>(stream);
    const int result = close(source->fd);
    delete source;
    return result;
}

int TestError(voidpf, voidpf stream) {
    return static_cast<Source*>(stream)->failed ? 1 : 0;
}

}  // namespace

zlib_filefunc64_def ZipFileSourceFunctions() {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = Open;
    functions.zread_file = Read;
    functions.zwrite_file = Write;
    functions.ztell64_file = Tell;
    functions.zseek64_file = Seek;
    functions.zclose_file = Close;
    functions.zerror_file = TestError;
    functions.opaque = nullptr;
    return functions;
}
