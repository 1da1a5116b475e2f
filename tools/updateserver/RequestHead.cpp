#include "RequestHead.h"

#include <algorithm>
#include <cctype>

namespace vesk::update_server {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool SameNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

// Whether a comma-separated header value lists token.
bool HasToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const std::size_t comma = std::min(value.find(','), value.size());
        if (SameNoCase(Trimmed(value.substr(0, comma)), token)) return true;
        value.remove_prefix(std::min(comma + 1, value.size()));
    }
    return false;
}

}  // namespace

std::optional<RequestHead> ParseRequestHead(std::string_view head) {
    const std::size_t lineEnd = std::min(head.find(kLineEnd), head.size());
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t firstSpace = line.find(' ');
    const std::size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace) return std::nullopt;
    const std::string_view version = line.substr(lastSpace + 1);
    const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    if (version.substr(0, 7) != "HTTP/1." || target.empty() || target.front() != '/' ||
        target.find_first_of(" \t\n") != std::string_view::npos) {
        return std::nullopt;
    }
    RequestHead request;
    request.method = line.substr(0, firstSpace);
    request.path = target.substr(0, target.find_first_of("?#"));
    request.keepAlive = version == "HTTP/1.1";

    std::size_t start = lineEnd + kLineEnd.size();
    while (start < head.size()) {
        const std::size_t end = std::min(head.find(kLineEnd, start), head.size());
        const std::string_view field = head.substr(start, end - start);
        const std::size_t colon = field.find(':');
        const std::string_view name = field.substr(0, std::min(colon, field.size()));
        const std::string_view value =
            colon == std::string_view::npos ? std::string_view() : Trimmed(field.substr(colon + 1));
        if (SameNoCase(name, "Range")) request.range = std::string(value);
        if (SameNoCase(name, "Connection")) {
            if (HasToken(value, "keep-alive")) request.keepAlive = true;
            if (HasToken(value, "close")) request.keepAlive = false;
        }
        start = end + kLineEnd.size();
    }
    return request;
}

}  // namespace vesk::update_server
