#pragma once
// A quick look at markup before a recursive parser sees it: the parser descends once per
// nested element, so text nested deeper than any real document is refused up front rather
// than allowed to exhaust the stack. Safe from any thread.

#include <cstddef>
#include <string_view>

namespace vesk::text {

// False when elements open deeper than maxDepth. Counts "<name" as an opening and "</" and
// "/>" as closings; what comments, character data, declarations and processing instructions
// hold does not count.
bool MarkupDepthWithin(std::string_view markup, std::size_t maxDepth);

}  // namespace vesk::text
