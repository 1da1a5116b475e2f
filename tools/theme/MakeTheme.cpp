// Draws the classic theme's images into a folder: the window and box backgrounds, the text
// button strips, the exit and minimise images, the progress track and fill, the application's
// icon and the waiting animation. Dark and calm: slate backgrounds, silver-blue buttons, one quiet
// blue accent.
//   make_theme FOLDER
#include <cmath>
#include <cstdio>
#include <string>

#include "GifWriter.h"
#include "Painter.h"

using namespace vesk;
using namespace vesk::theme;

namespace {

const Rgb kBackTop = FromHex(0x1C2229);
const Rgb kBackBottom = FromHex(0x121519);
const Rgb kBand = FromHex(0x232B33);
const Rgb kBorder = FromHex(0x3A4653);
const Rgb kHairline = FromHex(0x2E3842);
const Rgb kAccent = FromHex(0x4A9AD0);
const Rgb kGlyph = FromHex(0xAEB8C2);
// Where the update window's busy indicator is drawn on (its background colour).
constexpr std::uint32_t kIndicatorBack = 0x0F0F0F;

// A window background: a gradient panel whose frame sits inside the 4 pixels the boxes' window
// region hides, a darker title band at the top that drags the window, and a short accent line.
gfx::Surface Background(int w, int h, int inset) {
    gfx::Surface s(w, h);
    Painter p(s);
    p.FillRoundRect(0, 0, w, h, 0, kBackTop, kBackBottom);
    p.FillRoundRect(inset, inset, w - 2 * inset, 28 - inset, 0, kBand, kBand);
    p.FillRoundRect(inset, 28, w - 2 * inset, 1, 0, kHairline, kHairline);
    p.FillRoundRect(inset + 12, 28, 64, 1, 0, kAccent, kAccent, 0.8);
    p.StrokeRoundRect(inset, inset, w - 2 * inset, h - 2 * inset, 3, 1, kBorder);
    return s;
}

// Two frames stacked: normal above, hover below; the caption is drawn over them in dark grey.
gfx::Surface ButtonStrip(int w, int h) {
    gfx::Surface s(w, h);
    Painter p(s);
    const int frame = h / 2;
    p.FillRoundRect(1, 1, w - 2, frame - 2, 4, FromHex(0xBCC7D1), FromHex(0x98A6B3));
    p.StrokeRoundRect(1, 1, w - 2, frame - 2, 4, 1, FromHex(0x5F6E7C));
    p.FillRoundRect(2, 2, w - 4, 1, 0, FromHex(0xD6DEE5), FromHex(0xD6DEE5), 0.7);
    p.FillRoundRect(1, frame + 1, w - 2, frame - 2, 4, FromHex(0xD3DDE6), FromHex(0xAFC0CF));
    p.StrokeRoundRect(1, frame + 1, w - 2, frame - 2, 4, 1, kAccent);
    p.FillRoundRect(2, frame + 2, w - 4, 1, 0, FromHex(0xEEF3F7), FromHex(0xEEF3F7), 0.7);
    return s;
}

gfx::Surface Glyph(bool cross) {
    gfx::Surface s(18, 18);
    Painter p(s);
    p.FillRoundRect(0, 0, 18, 18, 4, FromHex(0x2A333C), FromHex(0x222930), 0.9);
    if (cross) {
        p.Line(5.5, 5.5, 12.5, 12.5, 1.8, kGlyph);
        p.Line(12.5, 5.5, 5.5, 12.5, 1.8, kGlyph);
    } else {
        p.Line(5.5, 12, 12.5, 12, 1.8, kGlyph);
    }
    return s;
}

// The application's icon: an accent tile with an arrow pointing down, the update coming in.
gfx::Surface AppIcon() {
    gfx::Surface s(32, 32);
    Painter p(s);
    const Rgb arrow = FromHex(0xF2F6F9);
    p.FillRoundRect(1, 1, 30, 30, 6, FromHex(0x6FB6E4), FromHex(0x2F78AE));
    p.StrokeRoundRect(1, 1, 30, 30, 6, 1, FromHex(0x1F5580));
    p.Line(16, 7, 16, 23, 3, arrow);
    p.Line(9.5, 16.5, 16, 23, 3, arrow);
    p.Line(22.5, 16.5, 16, 23, 3, arrow);
    return s;
}

gfx::Surface Track(int w, int h) {
    gfx::Surface s(w, h);
    Painter p(s);
    p.FillRoundRect(0, 0, w, h, 3, FromHex(0x0D1013), FromHex(0x181D22));
    p.StrokeRoundRect(0, 0, w, h, 3, 1, FromHex(0x2C3640));
    return s;
}

gfx::Surface Fill(int w, int h) {
    gfx::Surface s(w, h);
    Painter p(s);
    p.FillRoundRect(0, 0, w, h, 2, FromHex(0x6FB6E4), FromHex(0x2F78AE));
    return s;
}

// Eight dots around a circle, the lit one moving on each frame with a fading tail. The palette
// runs from the indicator's background to the accent, so every pixel is a shade between them.
bool WaitingAnimation(const std::string& path) {
    constexpr int kWidth = 26, kHeight = 31, kDots = 8, kShades = 16;
    std::vector<std::uint32_t> palette;
    const Rgb back = FromHex(kIndicatorBack), lit = FromHex(0x7CC2EE);
    for (int i = 0; i < kShades; ++i) {
        const Rgb c = Mix(back, lit, i / double(kShades - 1));
        palette.push_back((std::uint32_t(std::lround(c.r * 255)) << 16) |
                          (std::uint32_t(std::lround(c.g * 255)) << 8) |
                          std::uint32_t(std::lround(c.b * 255)));
    }
    std::vector<GifFrame> frames;
    for (int f = 0; f < kDots; ++f) {
        gfx::Surface s(kWidth, kHeight);
        s.Clear(0xFF000000u);
        Painter p(s);
        for (int d = 0; d < kDots; ++d) {
            const double angle = 2 * M_PI * d / kDots - M_PI / 2;
            const int age = (f - d + kDots) % kDots;  // 0: the lit dot
            const double level = age == 0 ? 1.0 : std::max(0.18, 0.75 - age * 0.16);
            p.Disc(13 + 8.5 * std::cos(angle), 15.5 + 8.5 * std::sin(angle), 2.2,
                   {level, level, level});
        }
        GifFrame frame;
        frame.delayCentiseconds = 10;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                frame.indexes.push_back(static_cast<std::uint8_t>(
                    std::lround(gfx::ArgbRed(s.Pixel(x, y)) / 255.0 * (kShades - 1))));
        frames.push_back(std::move(frame));
    }
    return WriteAnimatedGif(path, kWidth, kHeight, palette, frames);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_theme FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    struct Image {
        const char* name;
        gfx::Surface pixels;
    } images[] = {
        {"bg-update03.png", Background(400, 150, 0)},
        {"bg-error.png", Background(393, 190, 4)},
        {"bg_logout.png", Background(407, 146, 4)},
        {"btn_main_exit.png", Glyph(true)},
        {"btn_main_min.png", Glyph(false)},
        {"btn_logout_cancel.png", ButtonStrip(79, 50)},
        {"btn_logout_cancel_long.png", ButtonStrip(150, 50)},
        {"progress02.png", Track(370, 10)},
        {"progress01.png", Fill(366, 6)},
        {"ico-app.png", AppIcon()},
    };
    for (const Image& image : images)
        if (!image.pixels.SavePng(folder + image.name)) {
            std::fprintf(stderr, "make_theme: cannot write %s%s\n", folder.c_str(), image.name);
            return 1;
        }
    if (!WaitingAnimation(folder + "ico-preload.gif")) {
        std::fprintf(stderr, "make_theme: cannot write %sico-preload.gif\n", folder.c_str());
        return 1;
    }
    return 0;
}
