#pragma once
// A small writer of looping animated GIFs with one global palette of up to 256 colours. The
// image data is coded as literal codes only (the table is cleared before it can grow), which
// every decoder reads and is plenty for a few small frames.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vesk::theme {

struct GifFrame {
    std::vector<std::uint8_t> indexes;  // width * height palette indexes, row by row
    int delayCentiseconds = 10;
};

// palette: 0xRRGGBB values, at most 256. False when the file cannot be written.
bool WriteAnimatedGif(const std::string& path, int width, int height,
                      const std::vector<std::uint32_t>& palette,
                      const std::vector<GifFrame>& frames);

}  // namespace vesk::theme
