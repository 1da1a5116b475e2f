// Any bytes as a GIF, walked by the block parser and cut into frames: never crashes, never
// reads past the input, and every frame is the file's head, bytes of the file and a trailer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "GifFrames.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    GifBlockParser parser(bytes);
    const int count = parser.CountGraphicBlocks();
    const std::size_t head = GifBlockParser::kScreenEnd + parser.GlobalTableSize();
    int split = 0;
    std::size_t last = parser.Cursor();
    while (auto frame = parser.NextGraphicBlock()) {
        ++split;
        if (parser.Cursor() <= last || parser.Cursor() > size) Fail("cursor out of step");
        const std::size_t blocks = frame->gif.size() - head - 1;
        if (frame->gif.size() < head + 2 || blocks > parser.Cursor() - last)
            Fail("frame longer than its blocks");
        if (std::memcmp(frame->gif.data(), data, head) != 0) Fail("frame lost the file's head");
        if (std::memcmp(frame->gif.data() + head, data + parser.Cursor() - blocks, blocks) != 0)
            Fail("frame is not the file's bytes");
        if (frame->gif.back() != 0x3B) Fail("frame without trailer");
        if (frame->disposal < 0 || frame->disposal > 7) Fail("disposal out of range");
        last = parser.Cursor();
    }
    if (split != count) Fail("counted and split frames differ");
    return 0;
}
