#include "text/MarkupDepth.h"

namespace vesk::text {
namespace {

// Where a construct that holds no elements ends, or npos when i does not start one.
std::size_t SkipOpaque(std::string_view markup, std::size_t i) {
    struct Opaque {
        std::string_view open, close;
    };
    static constexpr Opaque kOpaque[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}};
    for (const Opaque& o : kOpaque) {
        if (markup.substr(i, o.open.size()) != o.open) continue;
        const std::size_t end = markup.find(o.close, i + o.open.size());
        return end == std::string_view::npos ? markup.size() : end + o.close.size();
    }
    return std::string_view::npos;
}

}  // namespace

bool MarkupDepthWithin(std::string_view markup, std::size_t maxDepth) {
    std::size_t depth = 0;
    for (std::size_t i = 0; i < markup.size();) {
        if (const std::size_t end = SkipOpaque(markup, i); end != std::string_view::npos) {
            i = end;
            continue;
        }
        const char c = markup[i];
        const char next = i + 1 < markup.size() ? markup[i + 1] : '\0';
        if ((c == '<' && next == '/') || (c == '/' && next == '>')) {
            if (depth > 0) --depth;
        } else if (c == '<' && ++depth > maxDepth) {
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace vesk::text
