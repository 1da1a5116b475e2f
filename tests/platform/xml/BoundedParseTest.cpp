#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "DeepMarkup.h"
#include "SmallStack.h"
#include "text/MarkupDepth.h"
#include "xml/BoundedParse.h"

namespace {

using vesk::test::OnSmallStack;
using vesk::xml::DepthLimit;
using vesk::xml::ParseBounded;
using vesk::xml::ParseResult;

using vesk::test::Repeat;

// How deep the parser itself descends into text: the smallest limit it does not reach.
std::size_t ParserDepth(const std::string& text) {
    for (std::size_t limit = 0;; ++limit) {
        TiXmlDocument document;
        const DepthLimit bound(limit);
        document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        if (!bound.Reached()) return limit;
    }
}

TEST(BoundedParse, TheParserItselfStopsAtTheLimit) {
    // Straight to the parser, past the quick look: only the bound linked into it stands
    // between this text and the stack.
    const std::string deep = Repeat("<a>", 100000);
    const bool stopped = OnSmallStack([&] {
        TiXmlDocument document;
        document.Parse(deep.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        return document.Error();
    });
    EXPECT_TRUE(stopped);

    const std::string five = "<a><b><c><d><e/></d></c></b></a>";
    EXPECT_EQ(ParserDepth(five), 5u);
    TiXmlDocument document;
    const DepthLimit bound(4);
    document.Parse(five.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    EXPECT_TRUE(bound.Reached());
    EXPECT_TRUE(document.Error());
}

std::string Attributes(int count) {
    std::string attributes;
    for (int i = 0; i < count; ++i) attributes += " a" + std::to_string(i) + "='v'";
    return attributes;
}

TEST(BoundedParse, ReportsWhatStoppedTheParse) {
    struct Row {
        std::string text;
        ParseResult result;
        const char* root;  // the first element the document holds afterwards
    };
    const Row rows[] = {
        {"<root><a/><b>t</b></root>", ParseResult::Parsed, "root"},
        {"<root><a></root>", ParseResult::Malformed, "root"},
        {"", ParseResult::Malformed, nullptr},
        {"<root>" + Repeat("<a>", 2) + Repeat("</a>", 2) + "</root>", ParseResult::Parsed, "root"},
        {"<root>" + Repeat("<a>", 3) + Repeat("</a>", 3) + "</root>", ParseResult::TooDeep,
         nullptr},
        {"<?><root>" + Repeat("<a>", 100000), ParseResult::TooDeep, nullptr},
        // The parser compares each attribute with all before it: tens of thousands on one
        // element would hold it for minutes, so more than any real document holds are refused.
        {"<root" + Attributes(256) + "/>", ParseResult::Parsed, "root"},
        {"<root>" + Repeat("<a" + Attributes(200) + "/>", 50) + "</root>", ParseResult::Parsed,
         "root"},
        {"<root><a" + Attributes(257) + "/></root>", ParseResult::TooManyAttributes, nullptr},
    };
    for (const Row& row : rows) {
        const auto [result, root] = OnSmallStack([&] {
            TiXmlDocument document;
            const ParseResult r = ParseBounded(document, row.text, 3);
            const TiXmlElement* first = document.FirstChildElement();
            return std::pair(r, std::string(first ? first->Value() : ""));
        });
        EXPECT_EQ(result, row.result) << row.text.substr(0, 40);
        EXPECT_EQ(root, row.root ? row.root : "") << row.text.substr(0, 40);
    }
}

TEST(BoundedParse, LimitsNestAndRestore) {
    const std::string three = "<a><b><c/></b></a>";
    TiXmlDocument document;
    const DepthLimit outer(2);
    {
        const DepthLimit inner(3);
        document.Parse(three.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        EXPECT_FALSE(inner.Reached());
    }
    EXPECT_FALSE(outer.Reached());
    TiXmlDocument again;
    again.Parse(three.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
    EXPECT_TRUE(outer.Reached());
}

// The quick look must agree with the parser on every construct that can hide or show an
// element: each row is read by both, and the depths must match exactly.
TEST(BoundedParse, QuickLookAgreesWithTheParser) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string rows[] = {
        Repeat("<a>", 5),
        "<?><a>" + Repeat("<a>", 4),
        "<?pi x ><a><a>?>",
        Repeat("<a b=\"/>\">", 4),
        Repeat("<a b='/>'>", 4),
        Repeat("<a>/>", 4),
        "<?xml ><a><a>?>",
        "<?XmL version='>' ?><a><a>",
        "<?xml foo='>' ?><a><a>",
        "<?xml version='1.0'",
        "<?xml ",
        "<!DOCTYPE r [<!ENTITY e \"<a>\">]><r><a>",
        "<r><!-- <a><a> --><b/></r>",
        "<r><!-- </r> --><a><a>",
        "<r><!-- &#x-->x; --><a><a>",
        "<r>" + Repeat("<a>&#x</a>x1;", 4),
        "<r>" + Repeat("<a>&#</a>#1;", 4),
        "<r>&#x</r><a>",
        "<r>&#x<a>;<a>",
        "<r>&amp;&lt;&unknown;<a/></r>",
        bom + "<r>" + Repeat("<a>\xE0</a>", 4),
        "<?xml encoding='UTF-8'?><r>" + Repeat("<a>\xE0</a>", 4),
        "<?xml encoding=\"utf8x\"?><r>" + Repeat("<a>\xE0</a>", 4),
        "<?xml?><r>" + Repeat("<a>\xE0</a>", 4),
        "<?xml encoding='latin1'?><r>" + Repeat("<a>\xE0</a>", 4),
        "<?xml encoding='&#85;TF-8'?><r>" + Repeat("<a>\xE0</a>", 4),
        "<r/><?xml encoding='UTF-8'?><r>" + Repeat("<a>\xE0</a>", 4),
        "<r>" + Repeat("<a>\xE0</a>", 4),
        bom + "<r><a b='\xE0' c='>'>" + Repeat("<a>", 3),
        bom + "<r><!--\xE0-->--><a><a>",
        std::string("<r>\xF0\0<a><a>", 10),
        bom + std::string("<r>\xF0\0<a><a><a>", 13),
        bom + "<\xEF\xBB\xBF a><b/></a>",
        "<r><![CDATA[</r>]]><a><a>",
        "<r><![CDATA[<a>",
        "<a x='1' x='2'><a><a>",
        "<a x='1' y=2 z=\"3\"><a/></a>",
        "<a x=1'><a>",
        "<a x><a>",
        "<a>" + Repeat("<b/>", 6) + "</a>",
        "<a></b><a><a>",
        "<a><b></b ><a><a>",
        "<a/ ><a><a>",
        "< a><a><a>",
        "</a><a><a>",
        "<_a><\x80><\x7F><b/>",
        "<a>text<b>more</b> tail<c/></a><d><e>",
        "<a>\r\n\t<b/></a>",
        "<a>" + Repeat("<b></b>", 3) + "</a>",
        "<a><b>",
        "<a>&#x",
        "<a><b>&#;</b><c>",
        "<a>\x01<b/></a>",
    };
    for (const std::string& row : rows) {
        const std::size_t parser = ParserDepth(row + std::string(8, '\0'));
        EXPECT_EQ(vesk::text::MarkupDepth(row, 100), parser) << row;
    }
}

// The parser can step a whole UTF-8 character past the terminating zero: a text that ends
// exactly there must not lead it into whatever lies beyond.
TEST(BoundedParse, TheParserNeverReadsPastTheText) {
    const long page = sysconf(_SC_PAGESIZE);
    void* mapping = mmap(nullptr, 2 * static_cast<std::size_t>(page), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED);
    char* guard = static_cast<char*>(mapping) + page;
    ASSERT_EQ(mprotect(guard, static_cast<std::size_t>(page), PROT_NONE), 0);
    const char text[] = "\xEF\xBB\xBF<a>x\xF0";  // and its terminating zero
    char* start = guard - sizeof text;
    std::memcpy(start, text, sizeof text);

    EXPECT_DEATH(
        {
            TiXmlDocument document;
            document.Parse(start, nullptr, TIXML_ENCODING_UNKNOWN);
        },
        "");
    TiXmlDocument document;
    EXPECT_EQ(ParseBounded(document, std::string_view(start, sizeof text - 1), 64),
              ParseResult::Malformed);
    munmap(mapping, 2 * static_cast<std::size_t>(page));
}

}  // namespace
