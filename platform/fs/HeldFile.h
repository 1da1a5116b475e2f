#pragma once
// A file held open for reading from the moment it is checked until it is used: whatever
// happens at its path meanwhile (another file renamed over it, the file deleted), what is read
// through the holder is the file that was opened. Reads through it go by position, so one
// holder may serve several threads at once; a program started meanwhile does not inherit it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace vesk::fs {

class HeldFile {
public:
    // The regular file at path, never reached through a link, and never waited on (a FIFO in
    // its place is refused at once); null when it cannot be opened so.
    static std::shared_ptr<const HeldFile> Open(std::wstring_view path);

    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    // Stays the holder's: a reader that wants its own takes a duplicate.
    int Descriptor() const { return m_fd; }
    // The file's size now; nullopt when it cannot be read.
    std::optional<std::uint64_t> Size() const;

private:
    explicit HeldFile(int fd) : m_fd(fd) {}

    int m_fd;
};

}  // namespace vesk::fs
