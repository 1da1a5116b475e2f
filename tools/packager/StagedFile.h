#pragma once
// An output written under a passing name beside its target and renamed over it only when
// every output of the run is complete, so a failed run leaves what was there before.

#include <string>

namespace vesk::packager {

class StagedFile {
public:
    StagedFile() = default;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();  // removes the passing file unless committed

    // Creates the passing file (readable by all, as a served folder needs); false on failure.
    bool Create(const std::string& target);
    const std::string& path() const { return m_passing; }
    const std::string& target() const { return m_target; }
    // Writes bytes as the passing file's whole content; false on failure.
    bool Write(const std::string& bytes);
    // Syncs the passing file and renames it over the target.
    bool Commit();

private:
    std::string m_target;
    std::string m_passing;
};

}  // namespace vesk::packager
