// Any bytes as an entry's raw deflate stream, after three bytes that choose the size of the
// pieces the stream is read in and the limit on what comes out: the inflater never crashes,
// never hands out more than the limit, inflates whole every stream zlib inflates whole, ends
// with zlib's length, and every byte it hands out that zlib makes too is zlib's, under
// zlib's CRC-32.

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EntryInflater.h"

namespace {

constexpr std::size_t kChoiceBytes = 3;
// Limits from 0 to about 4 MB, so the cut at the limit is tried as well as the stream's end.
constexpr std::size_t kLimitStep = 61;

struct Inflated {
    std::vector<unsigned char> bytes;
    // The stream's end was reached within the limit.
    bool ended = false;
    // The limit was reached first.
    bool cut = false;
};

Inflated InflateWithZlib(const std::uint8_t* data, std::size_t size, std::size_t limit) {
    Inflated out;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) abort();
    out.bytes.resize(std::max<std::size_t>(limit, 1));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.bytes.data();
    stream.avail_out = static_cast<uInt>(limit);
    const int rc = inflate(&stream, Z_FINISH);
    out.bytes.resize(limit - stream.avail_out);
    out.ended = rc == Z_STREAM_END;
    out.cut = rc == Z_BUF_ERROR && stream.avail_out == 0;
    inflateEnd(&stream);
    return out;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kChoiceBytes) return 0;
    const std::size_t piece = data[0] == 0 ? EntryInflater::kInputBytes : data[0];
    const std::size_t limit = (static_cast<std::size_t>(data[1]) << 8 | data[2]) * kLimitStep;
    data += kChoiceBytes;
    size -= kChoiceBytes;

    static EntryInflater inflater;
    if (!inflater.Ready()) abort();
    std::size_t offset = 0;
    const EntryInflater::Reader read = [&](unsigned char* buffer, unsigned wanted) {
        const std::size_t n = std::min({piece, static_cast<std::size_t>(wanted), size - offset});
        std::memcpy(buffer, data + offset, n);
        offset += n;
        return static_cast<int>(n);
    };
    std::vector<unsigned char> out;
    const EntryInflater::Writer write = [&](const unsigned char* bytes, std::size_t n) {
        out.insert(out.end(), bytes, bytes + n);
        return true;
    };
    const EntryInflater::Result result = inflater.Inflate(read, write, limit);

    const Inflated expected = InflateWithZlib(data, size, limit);
    const bool complete = result.outcome == EntryInflater::Outcome::Complete;
    if (result.produced != out.size() || out.size() > limit) Fail("more than the limit");
    // Damage just past the limit may be seen by the inflater, which decodes ahead.
    if (expected.ended && !complete) Fail("refused what zlib inflates");
    const std::size_t common = std::min(out.size(), expected.bytes.size());
    if (common > 0 && std::memcmp(out.data(), expected.bytes.data(), common) != 0)
        Fail("not zlib's bytes");
    const bool judged = expected.ended || expected.cut;
    if (complete && judged && out.size() != expected.bytes.size()) Fail("not zlib's length");
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, out.data(), static_cast<uInt>(out.size())));
    if (result.crc != crc) Fail("not zlib's CRC-32");
    return 0;
}
