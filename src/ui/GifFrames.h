#pragma once
// The GIF block parser and frame splitter of the animated picture: it walks a GIF's blocks
// without decoding image data and cuts each frame out as a stand-alone GIF (the file's header,
// screen descriptor and global colour table, the frame's blocks, a trailer) for the picture
// loader to decode. It never reads past the data it was given. One thread at a time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"

enum class GifBlockKind {
    Unknown = 0,
    Application = 1,  // 0x21 0xFF
    Comment = 2,      // 0x21 0xFE
    Control = 3,      // 0x21 0xF9, the graphic control extension
    PlainText = 4,    // 0x21 0x01
    Image = 5,        // 0x2C
    Trailer = 6,      // 0x3B
};

// The delay of a frame that has no graphic control extension.
inline constexpr std::uint32_t kGifNoDelay = 0xFFFFFFFF;

// One frame cut out of a GIF.
struct GifFrameBlock {
    std::vector<std::uint8_t> gif;      // the stand-alone GIF
    std::uint32_t delay = kGifNoDelay;  // hundredths of a second
    int disposal = 0;                   // 0-7
    vesk::gfx::Size size;               // from the image descriptor (the text grid for text)
    vesk::gfx::Point offset;
};

// True when the data starts with "GIF87a" or "GIF89a".
bool IsGifData(std::span<const std::uint8_t> data);

class GifBlockParser {
public:
    static constexpr std::size_t kScreenEnd = 13;  // header and logical screen descriptor

    // The data must outlive the parser.
    explicit GifBlockParser(std::span<const std::uint8_t> data);

    // Header, screen descriptor and global colour table all lie within the data.
    bool HasScreen() const { return m_hasScreen; }
    int ScreenWidth() const { return m_screen.cx; }
    int ScreenHeight() const { return m_screen.cy; }
    // Bytes of the global colour table; 0 without one.
    std::size_t GlobalTableSize() const { return m_globalTable; }
    // The global table's entry for the background colour index, when there is one.
    std::optional<vesk::gfx::ColorRef> BackgroundColor() const;

    // Back to the first block after the global colour table.
    void Rewind();
    std::size_t Cursor() const { return m_cursor; }
    GifBlockKind KindAtCursor() const;
    // The length of the block at the cursor: -1 for an unknown block; a length running past the
    // end of the data when its sub-blocks do.
    std::int64_t BlockLength() const;
    // Advances over the block at the cursor; false (cursor kept) when it is unknown or runs past
    // the end.
    bool SkipBlock();
    // Advances over the next frame's blocks; false at the trailer, an unknown or a cut block.
    bool SkipGraphicBlock();
    // The next frame as a stand-alone GIF; nothing at the trailer, an unknown or a cut block.
    std::optional<GifFrameBlock> NextGraphicBlock();
    // How many frames follow the global colour table; leaves the cursor rewound.
    int CountGraphicBlocks();

private:
    // Skips extensions up to the next graphic control (unless passControl), image or plain
    // text block; nothing when a skip fails.
    std::optional<GifBlockKind> SkipToGraphic(bool passControl);
    // Sub-blocks from pos up to and including the terminator.
    std::int64_t SubBlocksLength(std::size_t pos) const;
    std::uint8_t At(std::size_t pos) const { return pos < m_data.size() ? m_data[pos] : 0; }
    int Word(std::size_t pos) const { return At(pos) | (At(pos + 1) << 8); }

    std::span<const std::uint8_t> m_data;
    bool m_hasScreen = false;
    vesk::gfx::Size m_screen;
    std::size_t m_globalTable = 0;
    std::size_t m_cursor = 0;
};
