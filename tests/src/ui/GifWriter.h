#pragma once
// A tiny GIF writer for tests: a four-colour global table, and blocks written one by one so a
// test can build exactly the layout it needs (or a broken one). Image data is real LZW that
// any decoder reads: literal codes only, with a clear code before every two, so the code size
// never grows.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vesk::test {

class GifWriter {
public:
    // colors: four 0xRRGGBB entries of the global table.
    GifWriter(int width, int height, std::vector<std::uint32_t> colors = {},
              const char* version = "89a") {
        Text(std::string("GIF") + version);
        Word(width);
        Word(height);
        if (colors.empty()) {
            m_bytes.push_back(0x00);  // no global table
        } else {
            m_bytes.push_back(0x81);  // global table of 2^(1+1) entries
        }
        m_bytes.push_back(0);  // background index
        m_bytes.push_back(0);  // aspect
        for (std::uint32_t c : colors) {
            m_bytes.push_back(static_cast<std::uint8_t>(c >> 16));
            m_bytes.push_back(static_cast<std::uint8_t>(c >> 8));
            m_bytes.push_back(static_cast<std::uint8_t>(c));
        }
    }

    GifWriter& Control(int delay, int disposal, int transparent = -1) {
        m_bytes.insert(m_bytes.end(), {0x21, 0xF9, 0x04});
        m_bytes.push_back(static_cast<std::uint8_t>((disposal << 2) | (transparent >= 0 ? 1 : 0)));
        Word(delay);
        m_bytes.push_back(static_cast<std::uint8_t>(transparent >= 0 ? transparent : 0));
        m_bytes.push_back(0);
        return *this;
    }
    GifWriter& Comment(const std::string& text) {
        m_bytes.insert(m_bytes.end(), {0x21, 0xFE});
        SubBlocks({text.begin(), text.end()});
        return *this;
    }
    GifWriter& Application() {
        m_bytes.insert(m_bytes.end(), {0x21, 0xFF, 0x0B});
        Text("NETSCAPE2.0");
        SubBlocks({0x01, 0x00, 0x00});
        return *this;
    }
    // A frame of one colour index.
    GifWriter& Image(int left, int top, int width, int height, int index) {
        return Image(left, top, width, height,
                     std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height,
                                               static_cast<std::uint8_t>(index)));
    }
    GifWriter& Image(int left, int top, int width, int height,
                     const std::vector<std::uint8_t>& pixels) {
        m_bytes.push_back(0x2C);
        Word(left);
        Word(top);
        Word(width);
        Word(height);
        m_bytes.push_back(0);  // no local table, not interlaced
        m_bytes.push_back(kMinCodeSize);
        SubBlocks(Lzw(pixels));
        return *this;
    }
    GifWriter& Raw(std::vector<std::uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    GifWriter& Trailer() {
        m_bytes.push_back(0x3B);
        return *this;
    }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    static constexpr std::uint8_t kMinCodeSize = 2;
    static constexpr int kClear = 4;
    static constexpr int kEnd = 5;
    static constexpr int kCodeBits = 3;

    void Text(const std::string& text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }
    void Word(int value) {
        m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        m_bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
    void SubBlocks(const std::vector<std::uint8_t>& data) {
        for (std::size_t at = 0; at < data.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - at);
            m_bytes.push_back(static_cast<std::uint8_t>(n));
            m_bytes.insert(m_bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        m_bytes.push_back(0);
    }
    static std::vector<std::uint8_t> Lzw(const std::vector<std::uint8_t>& pixels) {
        std::vector<int> codes;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if (i % 2 == 0) codes.push_back(kClear);
            codes.push_back(pixels[i] & 3);
        }
        codes.push_back(kEnd);
        std::vector<std::uint8_t> out;
        std::uint32_t buffer = 0;
        int bits = 0;
        for (int code : codes) {
            buffer |= static_cast<std::uint32_t>(code) << bits;
            bits += kCodeBits;
            while (bits >= 8) {
                out.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
                buffer >>= 8;
                bits -= 8;
            }
        }
        if (bits > 0) out.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
        return out;
    }

    std::vector<std::uint8_t> m_bytes;
};

}  // namespace vesk::test
