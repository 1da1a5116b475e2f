#include "GifFrames.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kApplicationLabel = 0xFF;
constexpr std::uint8_t kCommentLabel = 0xFE;
constexpr std::uint8_t kControlLabel = 0xF9;
constexpr std::uint8_t kPlainTextLabel = 0x01;

// Fixed parts of the blocks, before their sub-blocks.
constexpr std::int64_t kApplicationHead = 14;
constexpr std::int64_t kCommentHead = 2;
constexpr std::int64_t kControlLength = 8;
constexpr std::int64_t kPlainTextHead = 15;
constexpr std::int64_t kImageHead = 11;

// A colour table of size value n holds 2^(n+1) entries of three bytes.
std::size_t ColorTableBytes(std::uint8_t packed) {
    return 3u << ((packed & 0x07) + 1);
}

}  // namespace

bool IsGifData(std::span<const std::uint8_t> data) {
    static constexpr char k87[] = "GIF87a";
    static constexpr char k89[] = "GIF89a";
    return data.size() >= 6 &&
           (std::memcmp(data.data(), k87, 6) == 0 || std::memcmp(data.data(), k89, 6) == 0);
}

GifBlockParser::GifBlockParser(std::span<const std::uint8_t> data) : m_data(data) {
    if (data.size() < kScreenEnd) return;
    m_screen = {Word(6), Word(8)};
    const std::uint8_t packed = At(10);
    if (packed & 0x80) m_globalTable = ColorTableBytes(packed);
    m_hasScreen = kScreenEnd + m_globalTable <= data.size();
    Rewind();
}

std::optional<vesk::gfx::ColorRef> GifBlockParser::BackgroundColor() const {
    const std::size_t entry = 3u * At(11);
    if (!m_hasScreen || entry + 3 > m_globalTable) return std::nullopt;
    const std::size_t at = kScreenEnd + entry;
    return vesk::gfx::Rgb(At(at), At(at + 1), At(at + 2));
}

void GifBlockParser::Rewind() {
    m_cursor = m_hasScreen ? kScreenEnd + m_globalTable : m_data.size();
}

GifBlockKind GifBlockParser::KindAtCursor() const {
    if (m_cursor >= m_data.size()) return GifBlockKind::Unknown;
    switch (m_data[m_cursor]) {
        case kImage:
            return GifBlockKind::Image;
        case kTrailer:
            return GifBlockKind::Trailer;
        case kExtension:
            break;
        default:
            return GifBlockKind::Unknown;
    }
    if (m_cursor + 1 >= m_data.size()) return GifBlockKind::Unknown;
    switch (m_data[m_cursor + 1]) {
        case kApplicationLabel:
            return GifBlockKind::Application;
        case kCommentLabel:
            return GifBlockKind::Comment;
        case kControlLabel:
            return GifBlockKind::Control;
        case kPlainTextLabel:
            return GifBlockKind::PlainText;
        default:
            return GifBlockKind::Unknown;
    }
}

// A scan that reaches the end answers one byte more than the data has left, so the bound test
// of the skip fails.
std::int64_t GifBlockParser::SubBlocksLength(std::size_t pos) const {
    const std::size_t start = pos;
    while (pos < m_data.size()) {
        const std::uint8_t size = m_data[pos];
        pos += std::size_t{size} + 1;
        if (size == 0) return static_cast<std::int64_t>(pos - start);
    }
    return static_cast<std::int64_t>(std::max(pos, m_data.size()) - start) + 1;
}

std::int64_t GifBlockParser::BlockLength() const {
    const std::size_t c = m_cursor;
    switch (KindAtCursor()) {
        case GifBlockKind::Unknown:
            return -1;
        case GifBlockKind::Application:
            return kApplicationHead + SubBlocksLength(c + kApplicationHead);
        case GifBlockKind::Comment:
            return kCommentHead + SubBlocksLength(c + kCommentHead);
        case GifBlockKind::Control:
            return kControlLength;
        case GifBlockKind::PlainText:
            return kPlainTextHead + SubBlocksLength(c + kPlainTextHead);
        case GifBlockKind::Trailer:
            return 1;
        case GifBlockKind::Image:
            break;
    }
    const std::uint8_t packed = At(c + 9);
    const std::int64_t local =
        (packed & 0x80) ? static_cast<std::int64_t>(ColorTableBytes(packed)) : 0;
    const std::int64_t blocks = SubBlocksLength(c + kImageHead + static_cast<std::size_t>(local));
    return blocks > 0 ? kImageHead + local + blocks : 0;
}

bool GifBlockParser::SkipBlock() {
    if (m_data.empty()) return false;
    const std::int64_t length = BlockLength();
    if (length <= 0 || static_cast<std::uint64_t>(length) > m_data.size() - m_cursor) return false;
    m_cursor += static_cast<std::size_t>(length);
    return true;
}

std::optional<GifBlockKind> GifBlockParser::SkipToGraphic(bool passControl) {
    for (;;) {
        const GifBlockKind kind = KindAtCursor();
        const bool skipped = kind == GifBlockKind::Application || kind == GifBlockKind::Comment ||
                             (passControl && kind == GifBlockKind::Control);
        if (!skipped) return kind;
        if (!SkipBlock()) return std::nullopt;
    }
}

namespace {

bool IsDrawn(std::optional<GifBlockKind> kind) {
    return kind == GifBlockKind::Image || kind == GifBlockKind::PlainText;
}

}  // namespace

bool GifBlockParser::SkipGraphicBlock() {
    if (m_data.empty()) return false;
    std::optional<GifBlockKind> kind = SkipToGraphic(false);
    if (!IsDrawn(kind) && kind != GifBlockKind::Control) return false;
    if (BlockLength() <= 0) return false;
    if (kind == GifBlockKind::Control) {
        if (!SkipBlock()) return false;
        kind = SkipToGraphic(true);
        if (!IsDrawn(kind)) return false;
    }
    return SkipBlock();
}

std::optional<GifFrameBlock> GifBlockParser::NextGraphicBlock() {
    if (m_data.empty()) return std::nullopt;
    GifFrameBlock frame;
    std::optional<GifBlockKind> kind = SkipToGraphic(false);
    if (!IsDrawn(kind) && kind != GifBlockKind::Control) return std::nullopt;
    const std::size_t start = m_cursor;
    if (BlockLength() <= 0) return std::nullopt;
    if (kind == GifBlockKind::Control) {
        // Read only once the whole extension is known to lie within the data.
        if (!SkipBlock()) return std::nullopt;
        frame.disposal = (At(start + 3) >> 2) & 0x07;
        frame.delay = static_cast<std::uint32_t>(Word(start + 4));
        kind = SkipToGraphic(true);
        if (!IsDrawn(kind)) return std::nullopt;
    }
    const std::size_t drawn = m_cursor;
    if (!SkipBlock()) return std::nullopt;
    // Left, top, width and height: the image descriptor's, or the text grid's.
    const std::size_t box = drawn + (kind == GifBlockKind::Image ? 1 : 3);
    frame.offset = {Word(box), Word(box + 2)};
    frame.size = {Word(box + 4), Word(box + 6)};

    const std::size_t head = kScreenEnd + m_globalTable;
    frame.gif.reserve(head + (m_cursor - start) + 1);
    frame.gif.assign(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(head));
    frame.gif.insert(frame.gif.end(), m_data.begin() + static_cast<std::ptrdiff_t>(start),
                     m_data.begin() + static_cast<std::ptrdiff_t>(m_cursor));
    frame.gif.push_back(kTrailer);
    return frame;
}

int GifBlockParser::CountGraphicBlocks() {
    Rewind();
    int count = 0;
    while (SkipGraphicBlock()) ++count;
    Rewind();
    return count;
}
