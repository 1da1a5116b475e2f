#pragma once
// A file written beside its target under a passing name and renamed over the target once
// complete, so the target holds its old content or the new content whole, never a part;
// a durable commit also survives a crash of the machine. Serves the archive extractor and
// settings files. A target the caller may not write (for root: one with no write bit) or a
// folder is never replaced; a link in the target's place is replaced itself, never followed.
// One object per thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fs/ConfinedFolder.h"
#include "fs/DeferredClose.h"

namespace vesk::fs {

class ReplacementFile {
public:
    // ReadOnly: the target may not be replaced. Failed: the name or what stands in its place
    // can never be written (too long, a folder). Unwritable: the folder would not take a new
    // file (no write access, a read-only or full file system), which may pass.
    enum class Result { Ok, ReadOnly, Failed, Unwritable };
    // Durable syncs the new file before the rename and the folder after it.
    enum class Durability { Lazy, Durable };
    using TimePoint = std::chrono::system_clock::time_point;

    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Abandons what was written unless it was committed.
    ~ReplacementFile();

    // Starts the new content of name (a single name, no "/") in folder. A new file gets the
    // usual permissions, with execute permission when executable is set; a replaced file
    // keeps the permissions of the old one, and its owner and group where the caller may
    // set them. The folder must stay open until the file is committed or abandoned. A name
    // longer than the folder's file system allows fails before anything is written.
    // With release, the file a commit puts out of place is let go by release's threads (its
    // blocks are freed there), and a write that finds the disk full waits for release to
    // finish first and tries once more; release must outlive the commit.
    static Result Create(const ConfinedFolder& folder, std::wstring_view name, bool executable,
                         ReplacementFile& out, DeferredClose* release = nullptr);

    bool Write(const void* data, std::size_t size);
    // Gives the new file its read-only state and times, then puts it in the target's place.
    bool Commit(bool readOnly, TimePoint accessed, TimePoint modified,
                Durability durability = Durability::Lazy);
    // Removes what was written; the target stays as it was.
    void Abandon();

    // Removes the new files that writers now gone left behind under their passing names (a
    // writer killed before it could commit or abandon) in folder and every folder below it,
    // never through a link. What writers still running are writing stays.
    static void RemoveAbandoned(std::wstring_view folder);

private:
    int m_folder = -1;
    int m_fd = -1;
    std::string m_target;
    std::string m_passing;
    DeferredClose* m_release = nullptr;
    bool m_replaces = false;
    std::uint64_t m_replacedBytes = 0;
};

}  // namespace vesk::fs
