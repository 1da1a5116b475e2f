#include "xml/BoundedParse.h"

#include <string>

#include "text/MarkupDepth.h"

namespace vesk::xml {
namespace {

constexpr std::size_t kDefaultMaxDepth = 64;

// The parser may step a whole UTF-8 character past the terminating zero; these zeros are
// where such a step lands.
constexpr std::size_t kTerminatingZeros = 8;

struct ThreadBound {
    std::size_t depth = 0;
    std::size_t limit = kDefaultMaxDepth;
    bool reached = false;
};

thread_local ThreadBound t_bound;

}  // namespace

DepthLimit::DepthLimit(std::size_t maxDepth)
    : previousLimit_(t_bound.limit), previousReached_(t_bound.reached) {
    t_bound.limit = maxDepth;
    t_bound.reached = false;
}

DepthLimit::~DepthLimit() {
    t_bound.limit = previousLimit_;
    t_bound.reached = previousReached_ || t_bound.reached;
}

bool DepthLimit::Reached() const {
    return t_bound.reached;
}

ParseResult ParseBounded(TiXmlDocument& document, std::string_view text, std::size_t maxDepth) {
    try {
        if (!text::MarkupDepthWithin(text, maxDepth)) return ParseResult::TooDeep;
        if (text::MostAttributes(text) > kMaxAttributesPerElement)
            return ParseResult::TooManyAttributes;
        std::string terminated;
        terminated.reserve(text.size() + kTerminatingZeros);
        terminated.append(text).append(kTerminatingZeros, '\0');
        const DepthLimit limit(maxDepth);
        document.Parse(terminated.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        if (limit.Reached()) return ParseResult::TooDeep;
        return document.Error() ? ParseResult::Malformed : ParseResult::Parsed;
    } catch (...) {
        document.Clear();  // what was read before the failure may be half-linked
        return ParseResult::Malformed;
    }
}

}  // namespace vesk::xml

// The link renames TinyXML's TiXmlElement::Parse (the target of every element parse, including
// the recursive one for child elements) to __real_..., and routes its callers here.
extern "C" {
const char* __real__ZN12TiXmlElement5ParseEPKcP16TiXmlParsingData13TiXmlEncoding(
    TiXmlElement* element, const char* p, TiXmlParsingData* data, TiXmlEncoding encoding);

const char* __wrap__ZN12TiXmlElement5ParseEPKcP16TiXmlParsingData13TiXmlEncoding(
    TiXmlElement* element, const char* p, TiXmlParsingData* data, TiXmlEncoding encoding) {
    using vesk::xml::t_bound;
    if (t_bound.depth >= t_bound.limit) {
        t_bound.reached = true;
        // The parse stops here: every caller of an element parse gives up on a null result.
        if (TiXmlDocument* document = element->GetDocument())
            document->SetError(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, p, data, encoding);
        return nullptr;
    }
    struct Nested {
        Nested() { ++t_bound.depth; }
        ~Nested() { --t_bound.depth; }
    } nested;
    return __real__ZN12TiXmlElement5ParseEPKcP16TiXmlParsingData13TiXmlEncoding(element, p, data,
                                                                                encoding);
}
}
