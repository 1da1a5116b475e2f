#pragma once
// A quick look at markup before the recursive XML parser (TinyXML 2.6) sees it. The look
// follows the parser's own reading rules, so it knows how deep the parser would descend, and
// markup nested deeper than any real document is refused before the parser spends time or
// stack on it. Safe from any thread.
//
// The markup is read as the parser reads a zero-terminated string with no encoding given: a
// byte order mark or the first declaration decides it, bytes past the end read as zeros,
// character classes come from the C library under the current locale, and the first error
// ends the reading as it ends the parse.

#include <cstddef>
#include <string_view>

namespace vesk::text {

// The deepest nesting of elements the parser reaches in markup, counting no further than
// stopAbove + 1.
std::size_t MarkupDepth(std::string_view markup, std::size_t stopAbove);

// The most attributes the parser would read on any one start tag. It checks each attribute
// against all before it, so thousands on one element cost it seconds.
std::size_t MostAttributes(std::string_view markup);

// False when the parser would open elements nested deeper than maxDepth.
bool MarkupDepthWithin(std::string_view markup, std::size_t maxDepth);

}  // namespace vesk::text
