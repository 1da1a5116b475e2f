// The GIF block parser and frame splitter on hand-built GIFs, whole, cut and broken.
#include "GifFrames.h"

#include <gtest/gtest.h>

#include "GifWriter.h"
#include "gfx/Bitmap.h"

using vesk::test::GifWriter;

namespace {

const std::vector<std::uint32_t> kColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// Three frames: an image alone, one behind its control extension and a comment, and one behind
// an application extension and a control extension.
std::vector<std::uint8_t> ThreeFrames() {
    return GifWriter(4, 4, kColors)
        .Image(0, 0, 4, 4, 0)
        .Control(7, 2)
        .Comment("between")
        .Image(1, 2, 2, 1, 1)
        .Application()
        .Control(5, 3, 3)
        .Image(0, 0, 1, 1, 2)
        .Trailer()
        .Bytes();
}

TEST(GifFrames, KindOfTheBlockAtTheCursor) {
    const struct {
        std::vector<std::uint8_t> block;
        GifBlockKind kind;
    } rows[] = {
        {{0x21, 0xFF}, GifBlockKind::Application},
        {{0x21, 0xFE}, GifBlockKind::Comment},
        {{0x21, 0xF9}, GifBlockKind::Control},
        {{0x21, 0x01}, GifBlockKind::PlainText},
        {{0x2C}, GifBlockKind::Image},
        {{0x3B}, GifBlockKind::Trailer},
        {{0x21, 0x02}, GifBlockKind::Unknown},
        {{0x21}, GifBlockKind::Unknown},
        {{0x00}, GifBlockKind::Unknown},
        {{}, GifBlockKind::Unknown},
    };
    for (const auto& row : rows) {
        const std::vector<std::uint8_t> gif = GifWriter(2, 2).Raw(row.block).Bytes();
        GifBlockParser parser(gif);
        ASSERT_TRUE(parser.HasScreen());
        EXPECT_EQ(parser.KindAtCursor(), row.kind) << row.block.size();
    }
}

TEST(GifFrames, SignatureNeedsAKnownVersion) {
    const struct {
        const char* bytes;
        bool gif;
    } rows[] = {{"GIF89a", true}, {"GIF87a", true},  {"GIF88a", false},
                {"GIF89", false}, {"gif89a", false}, {"\x89PNG\r\n", false}};
    for (const auto& row : rows) {
        const std::string s = row.bytes;
        EXPECT_EQ(IsGifData({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}), row.gif)
            << row.bytes;
    }
}

TEST(GifFrames, FramesCarryTheirExtensionsDelayDisposalAndPlace) {
    const std::vector<std::uint8_t> gif = ThreeFrames();
    GifBlockParser parser(gif);
    ASSERT_TRUE(parser.HasScreen());
    EXPECT_EQ(parser.GlobalTableSize(), 12u);
    EXPECT_EQ(parser.CountGraphicBlocks(), 3);
    const std::size_t head = 13 + 12;
    EXPECT_EQ(parser.Cursor(), head) << "counting leaves the cursor at the first block";

    auto first = parser.NextGraphicBlock();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->delay, kGifNoDelay);
    EXPECT_EQ(first->disposal, 0);
    EXPECT_EQ(first->size, (vesk::gfx::Size{4, 4}));
    const std::size_t firstEnd = parser.Cursor();
    EXPECT_EQ(first->gif.size(), firstEnd + 1) << "header, table, the image alone, trailer";

    auto second = parser.NextGraphicBlock();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->delay, 7u);
    EXPECT_EQ(second->disposal, 2);
    EXPECT_EQ(second->offset, (vesk::gfx::Point{1, 2}));
    EXPECT_EQ(second->size, (vesk::gfx::Size{2, 1}));
    // Control extension, comment and image, in the file's order, between head and trailer.
    const std::vector<std::uint8_t> middle(
        gif.begin() + static_cast<std::ptrdiff_t>(firstEnd),
        gif.begin() + static_cast<std::ptrdiff_t>(parser.Cursor()));
    ASSERT_EQ(second->gif.size(), head + middle.size() + 1);
    EXPECT_TRUE(std::equal(gif.begin(), gif.begin() + head, second->gif.begin()));
    EXPECT_TRUE(std::equal(middle.begin(), middle.end(), second->gif.begin() + head));
    EXPECT_EQ(middle[0], 0x21);
    EXPECT_EQ(middle[1], 0xF9);
    EXPECT_EQ(second->gif.back(), 0x3B);

    auto third = parser.NextGraphicBlock();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->delay, 5u);
    EXPECT_EQ(third->disposal, 3);
    EXPECT_EQ(third->gif[head], 0x21) << "the application extension before it is left out";
    EXPECT_EQ(third->gif[head + 1], 0xF9);
    EXPECT_FALSE(parser.NextGraphicBlock()) << "the trailer ends the frames";
}

TEST(GifFrames, EachFrameDecodesOnItsOwn) {
    const std::vector<std::uint8_t> gif = ThreeFrames();
    GifBlockParser parser(gif);
    int decoded = 0;
    while (auto frame = parser.NextGraphicBlock()) {
        const vesk::gfx::Bitmap bitmap = vesk::gfx::Bitmap::FromMemory(frame->gif);
        ASSERT_FALSE(bitmap.IsEmpty()) << decoded;
        EXPECT_EQ(bitmap.Width(), 4);
        ++decoded;
    }
    EXPECT_EQ(decoded, 3);
    const vesk::gfx::Bitmap whole = vesk::gfx::Bitmap::FromMemory(gif);
    EXPECT_EQ(whole.Pixel(3, 3), 0xFFFF0000u) << "the writer's data is real LZW";
}

// Every cut of the file gives only the frames that lie wholly before the cut, and parsing never
// reads past it (the address sanitizer build checks the reads).
TEST(GifFrames, ACutFileGivesTheFramesBeforeTheCut) {
    const std::vector<std::uint8_t> gif = ThreeFrames();
    std::vector<std::size_t> frameEnds;
    {
        GifBlockParser parser(gif);
        while (parser.SkipGraphicBlock()) frameEnds.push_back(parser.Cursor());
    }
    ASSERT_EQ(frameEnds.size(), 3u);
    for (std::size_t cut = 0; cut <= gif.size(); ++cut) {
        const std::vector<std::uint8_t> part(gif.begin(),
                                             gif.begin() + static_cast<std::ptrdiff_t>(cut));
        GifBlockParser parser(part);
        int expected = 0;
        for (std::size_t end : frameEnds) expected += end <= cut ? 1 : 0;
        EXPECT_EQ(parser.CountGraphicBlocks(), expected) << cut;
        int split = 0;
        while (parser.NextGraphicBlock()) ++split;
        EXPECT_EQ(split, expected) << cut;
    }
}

TEST(GifFrames, ParsingStopsAtBlocksItCannotPlace) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> gif;
        int frames;
    } rows[] = {
        {"unknown block between frames",
         GifWriter(2, 2, kColors).Image(0, 0, 2, 2, 0).Raw({0x99}).Image(0, 0, 2, 2, 1).Bytes(), 1},
        {"unknown extension label",
         GifWriter(2, 2, kColors).Raw({0x21, 0x02, 0x00}).Image(0, 0, 2, 2, 0).Bytes(), 0},
        {"control extension before the trailer",
         GifWriter(2, 2, kColors).Image(0, 0, 2, 2, 0).Control(5, 0).Trailer().Bytes(), 1},
        {"sub-block size running past the end",
         GifWriter(2, 2, kColors).Image(0, 0, 2, 2, 0).Raw({0x21, 0xFE, 0xFF, 0x01}).Bytes(), 1},
        {"global table longer than the file", GifWriter(2, 2).Raw({}).Bytes(), 0},
        {"no global table", GifWriter(2, 2).Image(0, 0, 1, 1, 0).Trailer().Bytes(), 1},
    };
    for (const auto& row : rows) {
        std::vector<std::uint8_t> gif = row.gif;
        if (std::string(row.what) == "global table longer than the file") gif[10] = 0x87;
        GifBlockParser parser(gif);
        EXPECT_EQ(parser.CountGraphicBlocks(), row.frames) << row.what;
    }
}

TEST(GifFrames, ALocalColourTableIsPartOfTheImageBlock) {
    // An image with a local table of two entries (size value 0) is 6 bytes longer.
    std::vector<std::uint8_t> gif = GifWriter(2, 2, kColors).Bytes();
    const std::vector<std::uint8_t> image = GifWriter(2, 2).Image(0, 0, 2, 2, 1).Bytes();
    const std::size_t descriptor = 13;
    gif.insert(gif.end(), image.begin() + descriptor, image.begin() + descriptor + 9);
    gif.push_back(0x80);
    gif.insert(gif.end(), {0, 0, 0, 1, 2, 3});
    gif.insert(gif.end(), image.begin() + descriptor + 10, image.end());
    gif.push_back(0x3B);
    GifBlockParser parser(gif);
    EXPECT_EQ(parser.BlockLength(), static_cast<std::int64_t>(gif.size() - 1 - (13 + 12)));
    EXPECT_EQ(parser.CountGraphicBlocks(), 1);
}

}  // namespace
