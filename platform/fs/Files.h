#pragma once
// Files and folders as the system uses them: creation with or without missing parents,
// attributes (read-only is the write bits; hidden, system and archive exist only in
// descriptions), deletion, free space, and the exclusive open that stands in for an open
// without sharing. Safe from any thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::fs {

// One level only: fails when the folder exists or its parent is missing.
bool CreateFolder(std::wstring_view path);
// Creates every missing folder along the path; true when the folder exists afterwards.
bool CreateFolderTree(std::wstring_view path);

struct FileAttributes {
    bool folder = false;
    bool readOnly = false;
    std::chrono::system_clock::time_point modified;
    std::uint64_t size = 0;
};
// nullopt when nothing is at the path.
std::optional<FileAttributes> GetAttributes(std::wstring_view path);
// True only when the system says nothing is at the path (ENOENT); links are not followed, so
// a dangling link is something, and so is every path the system cannot answer for.
bool IsAbsent(std::wstring_view path);
// Read-only clears every write bit; writable gives the owner write permission back.
bool SetReadOnly(std::wstring_view path, bool readOnly);

// Every user may read and write the file (mode 0666), whatever the creator's umask: the
// stand-in for an access list that grants everyone read and write.
bool GrantEveryoneReadWrite(std::wstring_view path);
// The owner may run the file, as any downloaded program may be run on Windows.
bool MakeExecutable(std::wstring_view path);

bool DeleteFile(std::wstring_view path);
bool RemoveFolder(std::wstring_view path);  // an empty folder only
// Gives the file at from the name to, in one step, replacing what was there.
bool RenameFile(std::wstring_view from, std::wstring_view to);
// The names of the regular files directly in folder (links are not followed); empty when it
// cannot be read.
std::vector<std::wstring> FileNamesIn(std::wstring_view folder);

// Bytes available to this user on the file system that holds path; nullopt when the query
// fails (the path missing, among others).
std::optional<std::uint64_t> FreeDiskBytes(std::wstring_view path);

// An open that other programs cannot share, stood in for by an open-file-description
// lock: exclusive opens conflict with each other, also within one process; only two
// read-only opens may share a file.
class ExclusiveFile {
public:
    enum class Access { Read, ReadWrite };
    enum class Result { Ok, NotFound, Locked, Failed };

    ExclusiveFile() = default;
    ExclusiveFile(ExclusiveFile&& other) noexcept;
    ExclusiveFile& operator=(ExclusiveFile&& other) noexcept;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;
    ~ExclusiveFile();

    // Never waits: a file another holder has locked gives Locked at once, and only such a
    // file does; one that cannot be opened gives NotFound (absent) or Failed. On a file
    // system without locks the file opens all the same, unprotected. Closes out first; only
    // regular files open.
    static Result Open(std::wstring_view path, Access access, bool createIfAbsent,
                       ExclusiveFile& out);

    bool IsOpen() const { return m_fd >= 0; }
    // The whole content from the start; nullopt on a read error.
    std::optional<std::string> ReadAll();
    // Empties the file and moves to its start, as creating it anew would.
    bool Truncate();
    // Moves to the file's end, so writes append; the file's size, or nullopt on failure.
    std::optional<std::uint64_t> SeekToEnd();
    // Writes at the current position; false unless every byte was written.
    bool Write(const char* data, std::size_t size);
    // The file's size now; nullopt when it cannot be read.
    std::optional<std::uint64_t> Size() const;
    void Close();

private:
    int m_fd = -1;
};

// The lock test: true when the file exists and another holder has it locked, or it cannot
// be opened for reading and writing (the plug-in check treats both as a file in use). A
// file system without locks has no holders.
bool IsFileLocked(std::wstring_view path);

}  // namespace vesk::fs
