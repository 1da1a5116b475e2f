#include <gtest/gtest.h>

#include "ColorMatrices.h"
#include "MemDCGdiplus.h"

using namespace vesk::gfx;

namespace {

constexpr Argb kBefore = 0xFF101010u;
constexpr Argb kDrawn = 0xFFC0C0C0u;

int Count(const Surface& s, Argb color) {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) == color;
    return n;
}

TEST(Matrices, HotLiftsBlackAndGrayWeighsRed) {
    struct Row {
        const ColorMatrix* matrix;
        Argb in;
        int red, green, blue, alpha;
    } rows[] = {
        {&HotMatrix, 0xFF000000u, 13, 13, 13, 255},     // 0.05 of full scale
        {&HotMatrix, 0x80000000u, 13, 13, 13, 128},     // alpha kept
        {&HotMatrix, 0xFFFFFFFFu, 255, 255, 255, 255},  // clamped
        {&HotMatrix, 0xFF646464u, 118, 118, 118, 255},  // 100 * 1.05 + 12.75
        {&GrayMatrix, 0xFFFF0000u, 77, 77, 77, 255},    // 0.3 grey
        {&GrayMatrix, 0x4000FF00u, 150, 150, 150, 64}, {&GrayMatrix, 0xFF0000FFu, 28, 28, 28, 255},
    };
    for (const Row& row : rows) {
        const Argb out = ApplyColorMatrix(row.in, *row.matrix);
        EXPECT_NEAR(ArgbRed(out), row.red, 1) << std::hex << row.in;
        EXPECT_NEAR(ArgbGreen(out), row.green, 1) << std::hex << row.in;
        EXPECT_NEAR(ArgbBlue(out), row.blue, 1) << std::hex << row.in;
        EXPECT_EQ(ArgbAlpha(out), row.alpha) << std::hex << row.in;
    }
}

TEST(MemDCGdiplus, CopiesBackOverExactlyItsRectangleInTargetCoordinates) {
    Surface target(40, 30);
    target.Clear(kBefore);
    Canvas dc(target);
    {
        CMemDCGdiplus mem(dc, Rect{10, 5, 30, 25});
        EXPECT_EQ(mem.ClipBox(), (Rect{10, 5, 30, 25}));
        mem.FillRect({0, 0, 40, 30}, kDrawn);  // wider than the rectangle
        mem.FillRect({10, 5, 11, 6}, 0xFFFF0000u);
        EXPECT_EQ(Count(target, kBefore), 40 * 30) << "nothing lands before the copy back";
    }
    EXPECT_EQ(Count(target, kDrawn), 20 * 20 - 1);
    EXPECT_EQ(target.Pixel(10, 5), 0xFFFF0000u) << "drawing used the target's coordinates";
    EXPECT_EQ(Count(target, kBefore), 40 * 30 - 20 * 20);
}

TEST(MemDCGdiplus, EmptyRectangleCoversTheClipBoxAndCopyFirstKeepsTheTarget) {
    Surface target(40, 30);
    target.Clear(kBefore);
    Canvas child(target, {5, 5}, Rect{5, 5, 25, 15});  // a child window's area
    {
        CMemDCGdiplus mem(child, Rect{}, true);
        EXPECT_EQ(mem.CoveredRect(), (Rect{0, 0, 20, 10}));
        EXPECT_EQ(mem.Pixel({3, 3}), kBefore) << "copied from the target first";
        mem.FillRect({0, 0, 2, 2}, kDrawn);
    }
    EXPECT_EQ(Count(target, kDrawn), 4);
    EXPECT_EQ(target.Pixel(5, 5), kDrawn);
    EXPECT_EQ(Count(target, kBefore), 40 * 30 - 4);
}

}  // namespace
