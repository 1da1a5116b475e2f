#pragma once
// The version manifest as the packager writes it: an existing file is extended in place,
// keeping whatever else it holds; a missing one is started.

#include <cstdint>
#include <memory>
#include <string>

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
};

class ManifestFile {
public:
    ManifestFile();
    ~ManifestFile();

    // Empty on success; a missing file starts an empty manifest.
    std::string Load(const std::string& path);
    // Empty when an update package of this id may follow those listed: its id must sort
    // after theirs, or be the last one's (packaging that release again replaces it).
    std::string CheckNextId(const std::string& id) const;
    void AddUpdatePackage(const PackageRecord& record);
    void SetLatestPackage(const PackageRecord& record);
    std::string Text() const;

private:
    std::unique_ptr<TiXmlDocument> m_document;
};

}  // namespace vesk::packager
