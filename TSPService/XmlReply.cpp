#include "XmlReply.h"

namespace vesk::tsp_service {

std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

XmlFields& XmlFields::Open(std::string_view name) {
    m_xml.append("<").append(name).append(">");
    return *this;
}

XmlFields& XmlFields::Close(std::string_view name) {
    m_xml.append("</").append(name).append(">");
    return *this;
}

XmlFields& XmlFields::Text(std::string_view name, std::string_view text) {
    return Open(name).Raw(EscapeXml(text)).Close(name);
}

XmlFields& XmlFields::Number(std::string_view name, std::int64_t value) {
    return Open(name).Raw(std::to_string(value)).Close(name);
}

XmlFields& XmlFields::Flag(std::string_view name, bool value) {
    return Open(name).Raw(value ? "true" : "false").Close(name);
}

XmlFields& XmlFields::Raw(std::string_view xml) {
    m_xml.append(xml);
    return *this;
}

std::string RenderReply(const ServiceReply& reply) {
    XmlFields xml;
    xml.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n").Open(reply.element);
    if (reply.status) {
        xml.Open("status")
            .Number("statusId", reply.status->id)
            .Text("statusLink", reply.status->link)
            .Text("statusStr", reply.status->text)
            .Close("status");
    }
    return xml.Raw(reply.fields).Close(reply.element).Raw("\n").Xml();
}

}  // namespace vesk::tsp_service
