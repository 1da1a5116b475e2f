#include "ReplyReader.h"

#include <limits>

#include "text/Utf.h"

namespace vesk::tsp {
namespace {

constexpr std::int32_t kStatusRenewToken = 902;
constexpr std::int32_t kStatusNotLoggedIn = 905;

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view RawText(const TiXmlElement& parent, const char* name) {
    const TiXmlElement* child = parent.FirstChildElement(name);
    const char* text = child ? child->GetText() : nullptr;
    return text ? std::string_view(text) : std::string_view();
}

}  // namespace

std::int64_t ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;  // |INT64_MIN|
    std::uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == kLimit ? std::numeric_limits<std::int64_t>::min()
                                   : -static_cast<std::int64_t>(magnitude);
    return magnitude >= kLimit ? std::numeric_limits<std::int64_t>::max()
                               : static_cast<std::int64_t>(magnitude);
}

std::wstring ElementText(const TiXmlElement& element) {
    const char* text = element.GetText();
    return text ? text::Utf8ToWideStrict(text).value_or(std::wstring()) : std::wstring();
}

std::wstring ChildText(const TiXmlElement& parent, const char* name) {
    const TiXmlElement* child = parent.FirstChildElement(name);
    return child ? ElementText(*child) : std::wstring();
}

std::int32_t ChildInt32(const TiXmlElement& parent, const char* name) {
    const std::int64_t value = ParseDecimal(RawText(parent, name));
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int64_t ChildInt64(const TiXmlElement& parent, const char* name) {
    return ParseDecimal(RawText(parent, name));
}

bool ChildBool(const TiXmlElement& parent, const char* name) {
    return RawText(parent, name) == "true";
}

ServiceStatus ChildStatus(const TiXmlElement& parent) {
    ServiceStatus status;
    if (const TiXmlElement* element = parent.FirstChildElement("status")) {
        status.statusId = ChildInt32(*element, "statusId");
        status.statusLink = ChildText(*element, "statusLink");
        status.statusStr = ChildText(*element, "statusStr");
    }
    return status;
}

int CodeForStatusId(std::int32_t statusId) {
    if (statusId == kStatusRenewToken) return kServiceRenewToken;
    if (statusId == kStatusNotLoggedIn) return kServiceNotLoggedIn;
    return kServiceOk;
}

}  // namespace vesk::tsp
