#include <gtest/gtest.h>

#include "gfx/Canvas.h"

using namespace vesk::gfx;

namespace {

constexpr Argb kRed = 0xFFFF0000u;
constexpr Argb kBlue = 0xFF0000FFu;
constexpr Argb kGrey = 0xFF333333u;

// A 4 x 2 image: left half red, right half blue.
Bitmap RedBlue() {
    Surface s(4, 2);
    s.Clear(kRed);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x) s.SetPixel(x, y, kBlue);
    return Bitmap(std::move(s));
}

int CountPixels(const Surface& s, Argb color, const Rect& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += s.Pixel(x, y) == color;
    return n;
}

TEST(Canvas, ImagesLandWhereAsked) {
    const Bitmap image = RedBlue();
    struct Case {
        const char* name;
        void (*draw)(Canvas&, const Bitmap&);
        Rect red, blue;
    } cases[] = {
        {"at a point",
         [](Canvas& c, const Bitmap& b) {
             c.DrawImage(b, Point{3, 1});
         },
         {3, 1, 5, 3},
         {5, 1, 7, 3}},
        {"scaled",
         [](Canvas& c, const Bitmap& b) {
             c.DrawImage(b, Rect{0, 0, 8, 4});
         },
         {0, 0, 3, 4},
         {5, 0, 8, 4}},
        {"source part",
         [](Canvas& c, const Bitmap& b) {
             c.DrawImagePart(b, {1, 0, 3, 1}, {6, 5});
         },
         {6, 5, 7, 6},
         {7, 5, 8, 6}},
    };
    for (const Case& t : cases) {
        Surface s(10, 8);
        s.Clear(kGrey);
        Canvas canvas(s);
        t.draw(canvas, image);
        EXPECT_EQ(CountPixels(s, kRed, t.red), t.red.Width() * t.red.Height()) << t.name;
        EXPECT_EQ(CountPixels(s, kBlue, t.blue), t.blue.Width() * t.blue.Height()) << t.name;
        const int painted =
            CountPixels(s, kRed, {0, 0, 10, 8}) + CountPixels(s, kBlue, {0, 0, 10, 8});
        EXPECT_EQ(painted, t.red.Width() * t.red.Height() + t.blue.Width() * t.blue.Height())
            << t.name << ": drawn outside its place";
    }
}

TEST(Canvas, EmptyImageDrawsNothing) {
    Surface s(4, 4);
    s.Clear(kGrey);
    Canvas canvas(s);
    canvas.DrawImage(Bitmap(), Point{0, 0});
    canvas.DrawImage(Bitmap(), Rect{0, 0, 4, 4});
    canvas.DrawImageWithMatrix(Bitmap(), Rect{0, 0, 4, 4}, ColorMatrix{});
    EXPECT_EQ(CountPixels(s, kGrey, {0, 0, 4, 4}), 16);
}

TEST(Canvas, OffsetClipAndOriginMapLogicalToDevice) {
    Surface s(20, 20);
    // A child area at (5, 5), 10 x 10, drawing in coordinates whose (100, 100) is its corner.
    Canvas canvas(s, {5, 5}, Rect{5, 5, 15, 15});
    canvas.SetOrigin({100, 100});
    EXPECT_EQ(canvas.ClipBox(), (Rect{100, 100, 110, 110}));
    canvas.FillRect({95, 95, 105, 105}, kRed);  // partly outside the clip
    EXPECT_EQ(CountPixels(s, kRed, {0, 0, 20, 20}), 25);
    EXPECT_EQ(s.Pixel(5, 5), kRed);
    EXPECT_EQ(canvas.Pixel({100, 100}), kRed);
}

TEST(Canvas, CopyReplacesPixelsExactlyEvenWithinOneSurface) {
    Surface s(8, 4);
    s.SetPixel(0, 0, 0x80FF0000u);  // translucent: a copy must not blend it
    s.SetPixel(1, 0, kBlue);
    Canvas canvas(s);
    canvas.FillRect({4, 0, 8, 4}, kGrey);
    canvas.Copy({1, 0, 3, 1}, canvas, {0, 0});  // overlapping source and target
    EXPECT_EQ(s.Pixel(1, 0), 0x80FF0000u);
    EXPECT_EQ(s.Pixel(2, 0), kBlue);
    Surface other(2, 2);
    Canvas target(other);
    target.Copy({0, 0, 2, 2}, canvas, {4, 0});
    EXPECT_EQ(CountPixels(other, kGrey, {0, 0, 2, 2}), 4);
}

TEST(Canvas, TextStaysInsideItsRectangleAndIsCentred) {
    Surface s(120, 40);
    s.Clear(0xFF000000u);
    Canvas canvas(s);
    const Rect box{10, 5, 110, 35};
    canvas.DrawTextCentered(L"Cancel", FontSpec{L"Tahoma", -13, 700, false}, box, 0xFFFFFFFFu);
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            if (s.Pixel(x, y) == 0xFF000000u) continue;
            if (!box.Contains({x, y})) ++outside;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    EXPECT_EQ(outside, 0);
    ASSERT_GE(maxX, 0) << "nothing drawn";
    EXPECT_NEAR((minX + maxX) / 2.0, 60, 2.5);
    EXPECT_NEAR((minY + maxY) / 2.0, 20, 3.5);
}

TEST(Canvas, StaticTextWrapsAtTheWidth) {
    const FontSpec font{L"Tahoma", -12, 400, false};
    const Size one = Canvas::MeasureText(L"word", font, 0);
    const Size wrapped = Canvas::MeasureText(L"word word word word", font, one.cx * 2);
    EXPECT_LE(wrapped.cx, one.cx * 2);
    EXPECT_GE(wrapped.cy, one.cy * 2);
    EXPECT_NE(ResolvedFace(L"TAHOMA"), "");
}

}  // namespace
