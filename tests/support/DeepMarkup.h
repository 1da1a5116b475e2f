#pragma once
// Markup nested far deeper than any document, in every disguise that once slipped past the
// quick look in front of the XML parser, for the tests of each parser of outside input.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::test {

inline std::string Repeat(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

// Pairs of what comes before the document's own first element and the nesting after it.
inline std::vector<std::pair<std::string, std::string>> DeepMarkupDisguises() {
    return {
        {"", Repeat("<a>", 100000)},
        {"<?>", Repeat("<a>", 100000)},
        {"", "<?xml >" + Repeat("<a>", 100000) + "?>"},
        {"", Repeat("<a b=\"/>\">", 100000)},
        {"", Repeat("<a>/>", 100000)},
        {"", Repeat("<a>&#x</a>x1;", 100000)},
        {"\xEF\xBB\xBF", Repeat("<a>\xE0</a>", 100000)},
        {"<?xml version='1.0'?>", Repeat("<a>\xE0</a>", 100000)},
    };
}

}  // namespace vesk::test
