#pragma once
// The local side of a download that can resume: the bytes so far in the part file, and beside
// it the validator of the answer they came from, so a later request can ask the server for
// the rest of that same file.

#include <cstdint>
#include <optional>
#include <string>

#include "fs/Files.h"

class DownloadPart {
public:
    static constexpr wchar_t kValidatorSuffix[] = L".validator";

    explicit DownloadPart(std::wstring path) : m_path(std::move(path)) {}

    // Opens (or creates) the part file for appending; its size then is where a resume starts.
    bool Open();
    std::uint64_t Size() const { return m_file.Size().value_or(0); }
    // What the bytes so far came with; empty when it was never kept or cannot be read.
    std::string Validator() const;

    // Empties the part for a body from its first byte and keeps the validator that body
    // comes with (none when empty), so a half of one file is never continued from another.
    bool Restart(const std::string& validator);
    bool Append(const char* data, std::size_t size) { return m_file.Write(data, size); }
    // Nothing of the part stays behind.
    void Discard();

    static std::wstring ValidatorPath(const std::wstring& partPath) {
        return partPath + kValidatorSuffix;
    }

private:
    std::wstring m_path;
    vesk::fs::ExclusiveFile m_file;
};
