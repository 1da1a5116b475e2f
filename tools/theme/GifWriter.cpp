#include "GifWriter.h"

#include <fstream>

namespace vesk::theme {

namespace {

class Bytes {
public:
    void Byte(int b) { data.push_back(static_cast<std::uint8_t>(b)); }
    void Word(int w) {
        Byte(w & 0xFF);
        Byte((w >> 8) & 0xFF);
    }
    void Text(const char* s) {
        while (*s) Byte(*s++);
    }
    std::vector<std::uint8_t> data;
};

// Packs codes least significant bit first, as GIF wants.
class CodeStream {
public:
    void Put(int code, int width) {
        m_bits |= static_cast<std::uint32_t>(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(m_bits & 0xFF));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    void Flush() {
        if (m_count > 0) bytes.push_back(static_cast<std::uint8_t>(m_bits & 0xFF));
        m_bits = 0;
        m_count = 0;
    }
    std::vector<std::uint8_t> bytes;

private:
    std::uint32_t m_bits = 0;
    int m_count = 0;
};

int PaletteBits(std::size_t colours) {
    int bits = 1;
    while ((std::size_t{1} << bits) < colours) ++bits;
    return bits;
}

void ImageData(Bytes& out, const std::vector<std::uint8_t>& indexes, int paletteBits) {
    const int minCodeSize = std::max(2, paletteBits);
    const int clear = 1 << minCodeSize, end = clear + 1;
    const int width = minCodeSize + 1;
    // Each literal after the first one adds a table entry; clearing well before the table
    // reaches the next code width keeps every code the same width.
    const int literalsPerClear = (1 << width) - (clear + 2) - 2;
    CodeStream codes;
    int sinceClear = literalsPerClear;
    for (std::uint8_t index : indexes) {
        if (sinceClear == literalsPerClear) {
            codes.Put(clear, width);
            sinceClear = 0;
        }
        codes.Put(index, width);
        ++sinceClear;
    }
    codes.Put(end, width);
    codes.Flush();
    out.Byte(minCodeSize);
    for (std::size_t at = 0; at < codes.bytes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.bytes.size() - at);
        out.Byte(static_cast<int>(n));
        out.data.insert(out.data.end(), codes.bytes.begin() + at, codes.bytes.begin() + at + n);
    }
    out.Byte(0);
}

}  // namespace

bool WriteAnimatedGif(const std::string& path, int width, int height,
                      const std::vector<std::uint32_t>& palette,
                      const std::vector<GifFrame>& frames) {
    if (palette.empty() || palette.size() > 256) return false;
    const int bits = PaletteBits(palette.size());
    Bytes out;
    out.Text("GIF89a");
    out.Word(width);
    out.Word(height);
    out.Byte(0x80 | ((bits - 1) << 4) | (bits - 1));  // global palette of 2^bits colours
    out.Byte(0);                                      // background colour index
    out.Byte(0);                                      // no aspect ratio
    for (int i = 0; i < (1 << bits); ++i) {
        const std::uint32_t c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
        out.Byte((c >> 16) & 0xFF);
        out.Byte((c >> 8) & 0xFF);
        out.Byte(c & 0xFF);
    }
    // Loop for ever.
    out.Byte(0x21);
    out.Byte(0xFF);
    out.Byte(11);
    out.Text("NETSCAPE2.0");
    out.Byte(3);
    out.Byte(1);
    out.Word(0);
    out.Byte(0);
    for (const GifFrame& frame : frames) {
        out.Byte(0x21);  // graphic control: disposal 1 (keep), the frame's delay
        out.Byte(0xF9);
        out.Byte(4);
        out.Byte(1 << 2);
        out.Word(frame.delayCentiseconds);
        out.Byte(0);
        out.Byte(0);
        out.Byte(0x2C);  // the whole screen, no local palette
        out.Word(0);
        out.Word(0);
        out.Word(width);
        out.Word(height);
        out.Byte(0);
        ImageData(out, frame.indexes, bits);
    }
    out.Byte(0x3B);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data.data()),
               static_cast<std::streamsize>(out.data.size()));
    return static_cast<bool>(file);
}

}  // namespace vesk::theme
