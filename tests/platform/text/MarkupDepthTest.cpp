#include <gtest/gtest.h>

#include <string>

#include "text/MarkupDepth.h"

namespace {

TEST(MarkupDepth, CountsOpenElementsOnly) {
    struct Row {
        std::string markup;
        size_t limit;
        bool within;
    };
    const Row rows[] = {
        {"<root><a/><b></b></root>", 2, true},
        {"<root><a><b/></a></root>", 3, true},
        {"<root><a><b/></a></root>", 2, false},
        {"<root><a><b></b></a></root>", 2, false},
        {"<?xml version='1.0'?><!-- <x><y><z> --><root/>", 1, true},
        {"<!DOCTYPE r><root></root>", 1, true},
        {std::string(10, '<'), 9, false},
        {"<a>" + std::string(1000, 'x'), 1, true},
        {"", 0, true},
    };
    for (const auto& r : rows)
        EXPECT_EQ(vesk::text::MarkupDepthWithin(r.markup, r.limit), r.within) << r.markup;
}

TEST(MarkupDepth, RefusesNestingBeyondItsLimitWhateverTheLength) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    EXPECT_FALSE(vesk::text::MarkupDepthWithin(deep, 64));
}

}  // namespace
