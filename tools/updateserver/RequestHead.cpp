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

    std::size_t start = lineEnd + kLineEnd.size();
    while (start < head.size()) {
        const std::size_t end = std::min(head.find(kLineEnd, start), head.size());
        const std::string_view field = head.substr(start, end - start);
        const std::size_t colon = field.find(':');
        if (colon != std::string_view::npos && SameNoCase(field.substr(0, colon), "Range"))
            request.range = std::string(Trimmed(field.substr(colon + 1)));
        start = end + kLineEnd.size();
    }
    return request;
}

}  // namespace vesk::update_server
