#include <gtest/gtest.h>

#include <string>

#include "text/MarkupDepth.h"

namespace {

std::string Repeat(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

const std::string kBom = "\xEF\xBB\xBF";

// Each construct ends where the parser ends it, so what looks like a closing inside it never
// hides a level from the count, and what looks like an opening inside it is never counted.
TEST(MarkupDepth, EndsEachConstructWhereTheParserEndsIt) {
    struct Row {
        std::string markup;
        std::size_t depth;
    };
    const Row rows[] = {
        {"<root><a/><b></b></root>", 2},
        {"<root><a><b/></a></root>", 3},
        {"<?xml version='1.0'?><!-- <x><y><z> --><root/>", 1},
        {"<!DOCTYPE r><root></root>", 1},
        {"", 0},
        // a processing instruction or declaration ends at its first '>'
        {"<?><a><a><a>", 3},
        {"<?pi x ><a><a>?>", 2},
        {"<?xml ><a><a>?>", 2},
        // ...except inside the quoted value of a declaration's own attribute
        {"<?xml version='>'?><a><a>", 2},
        // quoted attribute values and text are data
        {Repeat("<a b=\"/>\">", 3), 3},
        {Repeat("<a b=\"</a>\">", 3), 3},
        {Repeat("<a>/>", 3), 3},
        // a character reference runs to the next ';' when only digits come before it
        {Repeat("<a>&#x</a>x1;", 3), 3},
        {Repeat("<a>&#</a>#1;", 3), 3},
        // in UTF-8 a lead byte takes the bytes after it, closing tags included
        {kBom + Repeat("<a>\xE0</a>", 3), 3},
        {"<?xml encoding='utf-8'?>" + Repeat("<a>\xE0</a>", 3), 3},
        {"<?xml encoding='latin1'?>" + Repeat("<a>\xE0</a>", 3), 1},
        {Repeat("<a>\xE0</a>", 3), 1},
        // character data and comments run to their own ends, byte by byte
        {"<r><![CDATA[</r>]]><a>", 2},
        {"<r><!-- &#x--> </r><a><a>", 2},
        // the parse ends at the first error
        {"<a x='1' x='2'><a><a>", 1},
        {"<a><b></b ><c><d/></c></a>", 3},
        {std::string("<a>\0<a><a>", 9), 1},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(vesk::text::MarkupDepth(r.markup, 10), r.depth) << r.markup;
        EXPECT_TRUE(vesk::text::MarkupDepthWithin(r.markup, r.depth)) << r.markup;
        if (r.depth > 0) {
            EXPECT_FALSE(vesk::text::MarkupDepthWithin(r.markup, r.depth - 1)) << r.markup;
        }
    }
}

TEST(MarkupDepth, RefusesNestingBeyondItsLimitWhateverTheDisguise) {
    const std::string rows[] = {
        Repeat("<a>", 100000),
        "<?><a>" + Repeat("<a>", 100000),
        "<?xml >" + Repeat("<a>", 100000) + "?>",
        Repeat("<a b=\"/>\">", 100000),
        Repeat("<a>/>", 100000),
        Repeat("<a>&#x</a>x1;", 100000),
        kBom + Repeat("<a>\xE0</a>", 100000),
    };
    for (const std::string& markup : rows) {
        EXPECT_FALSE(vesk::text::MarkupDepthWithin(markup, 64)) << markup.substr(0, 30);
        EXPECT_EQ(vesk::text::MarkupDepth(markup, 64), 65u) << markup.substr(0, 30);
    }
}

}  // namespace
