#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CloseOnExecOnly.h"
#include "TempDir.h"
#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/ColorMatrix.h"

using namespace vesk::gfx;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

// A 1 x 1 GIF whose one pixel is colour 0 of a red-and-black global table.
const std::string kRedGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
    "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
    35);

// A 2 x 1 bottom-up 24-bit BMP: blue then green.
std::string BlueGreenBmp() {
    std::string b = "BM";
    auto u32 = [&b](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
    };
    auto u16 = [&b](std::uint16_t v) {
        b += static_cast<char>(v);
        b += static_cast<char>(v >> 8);
    };
    u32(14 + 40 + 8);
    u32(0);
    u32(14 + 40);
    u32(40);
    u32(2);
    u32(1);
    u16(1);
    u16(24);
    u32(0);
    u32(8);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    b += std::string("\xff\x00\x00\x00\xff\x00\x00\x00", 8);
    return b;
}

TEST(Bitmap, DecodesEachFormatFromMemory) {
    const Bitmap gif = Bitmap::FromMemory(Bytes(kRedGif));
    ASSERT_EQ(gif.Width(), 1);
    EXPECT_EQ(gif.Pixel(0, 0), 0xFFFF0000u);

    const Bitmap bmp = Bitmap::FromMemory(Bytes(BlueGreenBmp()));
    ASSERT_EQ(bmp.Width(), 2);
    EXPECT_EQ(bmp.Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(bmp.Pixel(1, 0), 0xFF00FF00u);
}

TEST(Bitmap, PngRoundTripKeepsStraightAlpha) {
    vesk::test::TempDir dir;
    Surface s(3, 2);
    s.SetPixel(0, 0, 0x80FF0000u);
    s.SetPixel(2, 1, 0xFF123456u);
    const std::string path = (dir / "round.png").string();
    ASSERT_TRUE(s.SavePng(path));
    const Bitmap loaded = Bitmap::FromFile(path);
    ASSERT_EQ(loaded.Width(), 3);
    ASSERT_EQ(loaded.Height(), 2);
    EXPECT_EQ(loaded.Pixel(0, 0), 0x80FF0000u);
    EXPECT_EQ(loaded.Pixel(2, 1), 0xFF123456u);
    EXPECT_EQ(loaded.Pixel(1, 0), 0u);
}

// A program started by another thread while a picture loads must not inherit the file.
TEST(Bitmap, LoadsThroughACloseOnExecDescriptor) {
    vesk::test::TempDir dir;
    const std::string path = (dir / "red.gif").string();
    vesk::test::WriteFileBytes(path, kRedGif);
    const auto run = vesk::test::RunWithCloseOnExecOnly(
        [&] { return Bitmap::FromFile(path).Pixel(0, 0) == 0xFFFF0000u; });
    if (run == vesk::test::CloseOnExecOnlyRun::Unavailable) GTEST_SKIP() << "no seccomp filter";
    EXPECT_EQ(run, vesk::test::CloseOnExecOnlyRun::Succeeded);
}

TEST(Bitmap, FailedLoadsAreEmpty) {
    vesk::test::TempDir dir;
    vesk::test::WriteFileBytes(dir / "truncated.png", "\x89PNG\r\n\x1a\n\0\0");
    const std::string cases[] = {(dir / "missing.png").string(), (dir / "truncated.png").string(),
                                 dir.path().string()};
    for (const std::string& path : cases) {
        const Bitmap b = Bitmap::FromFile(path);
        EXPECT_TRUE(b.IsEmpty()) << path;
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
    }
    EXPECT_TRUE(Bitmap::FromMemory({}).IsEmpty());
}

TEST(ColorHelpers, ConvertBetweenTheTwoForms) {
    EXPECT_EQ(Rgb(0x11, 0x22, 0x33), 0x00332211u);
    EXPECT_EQ(ArgbFromColorRef(0x00332211u), 0xFF112233u);
    EXPECT_EQ(ArgbFromRgbValue(0x1F1F1F), 0xFF1F1F1Fu);
    EXPECT_EQ(ArgbFromRgbValue(0x7F123456, 0x40), 0x40123456u);
}

TEST(ColorMatrix, IsAppliedToTheRowVector) {
    ColorMatrix swap{};  // red and blue trade places; alpha halves; green gets a fixed 0.5
    swap.m[0][2] = 1;
    swap.m[2][0] = 1;
    swap.m[3][3] = 0.5f;
    swap.m[4][1] = 0.5f;
    EXPECT_EQ(ApplyColorMatrix(0xFFFF0000u, swap), 0x800080FFu);
    ColorMatrix over{};  // results beyond full scale are clamped
    over.m[0][0] = 3;
    over.m[3][3] = 1;
    over.m[4][1] = -1;
    EXPECT_EQ(ApplyColorMatrix(0xFF800000u, over), 0xFFFF0000u);
}

}  // namespace
