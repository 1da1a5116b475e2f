#pragma once
// Building the service's XML replies: a top-level element, an optional "status" child and
// the method's own fields. Texts are escaped; everything is UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::tsp_service {

class XmlFields {
public:
    XmlFields& Open(std::string_view name);
    XmlFields& Close(std::string_view name);
    XmlFields& Text(std::string_view name, std::string_view text);
    XmlFields& Number(std::string_view name, std::int64_t value);
    XmlFields& Flag(std::string_view name, bool value);
    XmlFields& Raw(std::string_view xml);
    const std::string& Xml() const { return m_xml; }

private:
    std::string m_xml;
};

struct StatusValue {
    int id = 200;
    std::string link;
    std::string text = "OK";
};

struct ServiceReply {
    std::string element;
    std::optional<StatusValue> status;
    std::string fields;  // the XML after the status
};

std::string EscapeXml(std::string_view text);
std::string RenderReply(const ServiceReply& reply);

}  // namespace vesk::tsp_service
