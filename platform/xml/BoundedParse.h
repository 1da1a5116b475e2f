#pragma once
// XML parsing whose depth is bounded whatever the input. TinyXML descends once per nested
// element; every program and library that links this facility has each of TinyXML's element
// parses pass a per-thread depth limit first (64 unless a DepthLimit says otherwise), so no
// document can exhaust the stack. Safe from any thread.

#include <tinyxml.h>

#include <cstddef>
#include <string_view>

namespace vesk::xml {

enum class ParseResult {
    Parsed,             // the whole text was read
    Malformed,          // the parser stopped at an error; the document keeps what it read before it
    TooDeep,            // elements nest deeper than allowed; whatever the document holds is partial
    TooManyAttributes,  // an element holds more than any real document (refused unparsed)
};

// More attributes on one element than any manifest or reply holds.
inline constexpr std::size_t kMaxAttributesPerElement = 256;

// Parses text into document with no encoding given (a byte order mark or the declaration
// decides), allowing elements nested maxDepth deep and kMaxAttributesPerElement attributes
// on each. A quick look refuses deeper text before
// the parser spends time on it; the parser's own bound stops whatever the look let through.
ParseResult ParseBounded(TiXmlDocument& document, std::string_view text, std::size_t maxDepth);

// While it lives, element parses on the calling thread nest at most maxDepth deep.
class DepthLimit {
public:
    explicit DepthLimit(std::size_t maxDepth);
    ~DepthLimit();
    DepthLimit(const DepthLimit&) = delete;
    DepthLimit& operator=(const DepthLimit&) = delete;

    // Whether a parse was stopped at the limit since this object was made.
    bool Reached() const;

private:
    std::size_t previousLimit_;
    bool previousReached_;
};

}  // namespace vesk::xml
