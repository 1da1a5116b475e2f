#pragma once
// The version manifest as the packager writes it: an existing file is extended in place,
// keeping whatever else it holds; a missing one is started.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TiXmlDocument;

namespace vesk::packager {

struct PackageRecord {
    std::string id;
    std::string url;
    std::string name;
    std::string md5;
    std::string buildVersion;
    std::int64_t size = 0;
    int fileCount = 0;
    std::string sha256;  // empty in an unsigned manifest
};

class ManifestFile {
public:
    ManifestFile();
    ~ManifestFile();

    // Empty on success; a missing file starts an empty manifest.
    std::string Load(const std::string& path);
    // Whether Load found a file, and the exact bytes it parsed.
    bool Found() const { return m_found; }
    const std::string& LoadedBytes() const { return m_loaded; }
    // Empty when an update package of this id may follow those listed: its id must sort
    // after theirs, or be the last one's (packaging that release again replaces it).
    std::string CheckNextId(const std::string& id) const;
    void AddUpdatePackage(const PackageRecord& record);
    void SetLatestPackage(const PackageRecord& record);
    // The names of every package listed.
    std::vector<std::string> Names() const;
    // The names of the packages listed without a SHA-256 digest.
    std::vector<std::string> NamesWithoutSha256() const;
    // Records sha256 for every package of this name listed without one.
    void SetSha256(const std::string& name, const std::string& sha256);
    // Drops every package's SHA-256 digest.
    void ForgetSha256();
    // When a signed manifest stops being valid, as UTC "YYYY-MM-DDTHH:MM:SSZ".
    void SetExpires(const std::string& utc);
    std::string Text() const;

private:
    std::unique_ptr<TiXmlDocument> m_document;
    bool m_found = false;
    std::string m_loaded;
};

}  // namespace vesk::packager
