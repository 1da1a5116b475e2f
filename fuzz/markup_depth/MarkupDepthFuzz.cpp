// The quick look at markup against the parser itself: for any bytes, the depth the look
// predicts is exactly the depth the parser descends to. A look that counted less would let
// deep markup through; one that counted more would refuse documents the parser reads.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/MarkupDepth.h"
#include "xml/BoundedParse.h"

namespace {

constexpr std::size_t kCeiling = 100;

bool ParserReaches(const std::string& terminated, std::size_t limit) {
    TiXmlDocument document;
    const vesk::xml::DepthLimit bound(limit);
    document.Parse(terminated.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    return bound.Reached();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view markup(reinterpret_cast<const char*>(data), size);
    const std::size_t predicted = vesk::text::MarkupDepth(markup, kCeiling);
    // Zeros past the end, as far as the parser may step over them.
    const std::string terminated = std::string(markup) + std::string(8, '\0');
    if (predicted > kCeiling) {
        if (!ParserReaches(terminated, kCeiling)) std::abort();
        return 0;
    }
    if (ParserReaches(terminated, predicted)) std::abort();
    if (predicted > 0 && !ParserReaches(terminated, predicted - 1)) std::abort();
    return 0;
}
