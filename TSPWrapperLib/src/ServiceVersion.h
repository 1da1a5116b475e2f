#pragma once
// Dotted service versions ("2.3.0.0") compared part by part.

#include <string_view>

namespace vesk::tsp {

// True when installed is older than minimum. Parts are compared as decimal numbers (the
// leading digits; none reads as 0) while both versions have parts; when one runs out they
// count as equal, so "2.3" and "2.3.0.0.7" both pass "2.3.0.0", and an empty version
// never counts as too old.
bool IsServiceTooOld(std::wstring_view installed, std::wstring_view minimum);

}  // namespace vesk::tsp
