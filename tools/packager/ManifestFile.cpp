#include "ManifestFile.h"

#include "VersionManifest.h"
#include "text/Utf.h"
#include "xml/BoundedParse.h"

#include <fstream>
#include <sstream>

namespace vesk::packager {
namespace {

constexpr char kRoot[] = "root";
constexpr char kUpdatePackage[] = "updatepackage";
constexpr char kLatestPackage[] = "latestpackage";
constexpr char kSha256[] = "sha256";
constexpr char kExpires[] = "expires";
constexpr std::size_t kMaxDepth = 64;

void Fill(TiXmlElement& element, const PackageRecord& record) {
    element.SetAttribute("id", record.id);
    element.SetAttribute("url", record.url);
    element.SetAttribute("name", record.name);
    element.SetAttribute("md5", record.md5);
    // A replaced record must not keep the digest of the package it replaces.
    if (record.sha256.empty()) {
        element.RemoveAttribute(kSha256);
    } else {
        element.SetAttribute(kSha256, record.sha256);
    }
    element.SetAttribute("build_version", record.buildVersion);
    element.SetAttribute("size", std::to_string(record.size));
    element.SetAttribute("filecount", std::to_string(record.fileCount));
}

bool IsPackage(const TiXmlElement& element) {
    return element.ValueStr() == kUpdatePackage || element.ValueStr() == kLatestPackage;
}

int Compare(const std::string& a, const std::string& b) {
    return CompareVersions(text::Utf8ToWide(a), text::Utf8ToWide(b));
}

// Element is TiXmlElement, const or not.
template <typename Element>
Element* LastUpdatePackage(Element& root) {
    Element* last = nullptr;
    for (Element* e = root.FirstChildElement(kUpdatePackage); e;
         e = e->NextSiblingElement(kUpdatePackage)) {
        last = e;
    }
    return last;
}

}  // namespace

ManifestFile::ManifestFile() : m_document(std::make_unique<TiXmlDocument>()) {}
ManifestFile::~ManifestFile() = default;

std::string ManifestFile::Load(const std::string& path) {
    m_document = std::make_unique<TiXmlDocument>();
    m_found = false;
    m_loaded.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_document->LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
        m_document->LinkEndChild(new TiXmlElement(kRoot));
        return {};
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    m_found = true;
    m_loaded = bytes.str();
    if (in.bad() ||
        xml::ParseBounded(*m_document, m_loaded, kMaxDepth) != xml::ParseResult::Parsed ||
        !m_document->FirstChildElement(kRoot)) {
        return "\"" + path + "\" is not a version manifest";
    }
    return {};
}

std::string ManifestFile::CheckNextId(const std::string& id) const {
    const TiXmlElement* root = m_document->FirstChildElement(kRoot);
    const TiXmlElement* last = LastUpdatePackage(*root);
    for (const TiXmlElement* e = root->FirstChildElement(kUpdatePackage); e;
         e = e->NextSiblingElement(kUpdatePackage)) {
        const char* listed = e->Attribute("id");
        const int order = Compare(id, listed ? listed : "");
        if (order > 0 || (order == 0 && e == last)) continue;
        return "the manifest already lists package " + std::string(listed ? listed : "") +
               (order == 0 ? " with later ones after it" : ", which sorts after " + id);
    }
    return {};
}

void ManifestFile::AddUpdatePackage(const PackageRecord& record) {
    TiXmlElement& root = *m_document->FirstChildElement(kRoot);
    TiXmlElement* last = LastUpdatePackage(root);
    if (last && Compare(record.id, last->Attribute("id") ? last->Attribute("id") : "") == 0) {
        Fill(*last, record);
        return;
    }
    TiXmlElement element(kUpdatePackage);
    Fill(element, record);
    if (last) {
        root.InsertAfterChild(last, element);
    } else if (TiXmlElement* latest = root.FirstChildElement(kLatestPackage)) {
        root.InsertBeforeChild(latest, element);
    } else {
        root.InsertEndChild(element);
    }
}

void ManifestFile::SetLatestPackage(const PackageRecord& record) {
    TiXmlElement& root = *m_document->FirstChildElement(kRoot);
    if (TiXmlElement* latest = root.FirstChildElement(kLatestPackage)) {
        Fill(*latest, record);
        return;
    }
    TiXmlElement element(kLatestPackage);
    Fill(element, record);
    root.InsertEndChild(element);
}

std::vector<std::string> ManifestFile::Names() const {
    std::vector<std::string> names;
    const TiXmlElement* root = m_document->FirstChildElement(kRoot);
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (IsPackage(*e)) names.push_back(e->Attribute("name") ? e->Attribute("name") : "");
    }
    return names;
}

std::vector<std::string> ManifestFile::NamesWithoutSha256() const {
    std::vector<std::string> names;
    const TiXmlElement* root = m_document->FirstChildElement(kRoot);
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (IsPackage(*e) && !e->Attribute(kSha256))
            names.push_back(e->Attribute("name") ? e->Attribute("name") : "");
    }
    return names;
}

void ManifestFile::SetSha256(const std::string& name, const std::string& sha256) {
    TiXmlElement* root = m_document->FirstChildElement(kRoot);
    for (TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* listed = e->Attribute("name");
        if (IsPackage(*e) && !e->Attribute(kSha256) && name == (listed ? listed : ""))
            e->SetAttribute(kSha256, sha256);
    }
}

void ManifestFile::ForgetSha256() {
    TiXmlElement* root = m_document->FirstChildElement(kRoot);
    for (TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (IsPackage(*e)) e->RemoveAttribute(kSha256);
    }
}

void ManifestFile::SetExpires(const std::string& utc) {
    m_document->FirstChildElement(kRoot)->SetAttribute(kExpires, utc);
}

std::string ManifestFile::Text() const {
    TiXmlPrinter printer;
    printer.SetIndent("  ");
    m_document->Accept(&printer);
    return printer.Str();
}

}  // namespace vesk::packager
