// The inflater of entry data on streams zlib makes, fed in pieces of every size, cut short,
// broken, and with reads and writes that fail.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "EntryInflater.h"

namespace {

using Outcome = EntryInflater::Outcome;

std::string RawDeflate(const std::string& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 9, strategy), Z_OK);
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::uint32_t ZlibCrc(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Text that compresses and bytes that do not, longer than the inflater's buffers.
std::string MixedData(std::size_t size) {
    std::string data;
    std::uint32_t noise = 12345;
    while (data.size() < size) {
        for (int i = 0; i < 3000; ++i) data += "entry data " + std::to_string(i % 97) + ' ';
        for (int i = 0; i < 5000; ++i)
            data += static_cast<char>((noise = noise * 1103515245 + 12345) >> 16);
    }
    data.resize(size);
    return data;
}

struct Fed {
    EntryInflater::Result result;
    std::string out;
};

// Feeds stream in pieces of at most piece bytes; the read at failAt bytes fails.
Fed Feed(EntryInflater& inflater, const std::string& stream, std::size_t piece, std::uint64_t limit,
         bool copy = false, std::size_t failAt = SIZE_MAX) {
    Fed fed;
    std::size_t offset = 0;
    const EntryInflater::Reader read = [&](unsigned char* buffer, unsigned size) {
        if (offset >= failAt) return -1;
        const std::size_t n = std::min({piece, std::size_t{size}, stream.size() - offset});
        std::memcpy(buffer, stream.data() + offset, n);
        offset += n;
        return static_cast<int>(n);
    };
    const EntryInflater::Writer write = [&](const unsigned char* bytes, std::size_t size) {
        fed.out.append(reinterpret_cast<const char*>(bytes), size);
        return true;
    };
    fed.result = copy ? inflater.Copy(read, write, limit) : inflater.Inflate(read, write, limit);
    return fed;
}

TEST(EntryInflater, InflatesWhatZlibMakesWhateverThePieces) {
    const std::string data = MixedData(900000);
    struct Case {
        const char* what;
        std::string stream;
        std::string expected;
    };
    const Case cases[] = {
        {"dynamic codes", RawDeflate(data, 9), data},
        {"fixed codes", RawDeflate(data.substr(0, 70000), 6, Z_FIXED), data.substr(0, 70000)},
        {"stored blocks", RawDeflate(data, 0), data},
        {"nothing", RawDeflate("", 6), ""},
    };
    EntryInflater inflater;
    ASSERT_TRUE(inflater.Ready());
    for (const Case& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{4093}, SIZE_MAX}) {
            if (piece == 1 && c.stream.size() > 100000) continue;  // a byte at a time is slow
            const Fed fed = Feed(inflater, c.stream, piece, c.expected.size() + 1);
            EXPECT_EQ(fed.result.outcome, Outcome::Complete) << c.what << ' ' << piece;
            EXPECT_EQ(fed.result.produced, c.expected.size()) << c.what << ' ' << piece;
            EXPECT_TRUE(fed.out == c.expected) << c.what << ' ' << piece;
            EXPECT_EQ(fed.result.crc, ZlibCrc(c.expected)) << c.what << ' ' << piece;
        }
    }
}

TEST(EntryInflater, StopsAtTheLimitAndJudgesBrokenStreams) {
    const std::string data = MixedData(300000);
    const std::string stream = RawDeflate(data, 6);
    struct Case {
        const char* what;
        std::string stream;
        std::uint64_t limit;
        Outcome outcome;
        std::size_t produced;
    };
    const Case cases[] = {
        {"cut at the limit", stream, 1000, Outcome::Complete, 1000},
        {"limit 0", stream, 0, Outcome::Complete, 0},
        {"cut short", stream.substr(0, stream.size() / 2), data.size(), Outcome::Damaged, SIZE_MAX},
        {"no input", "", 10, Outcome::Damaged, 0},
        {"reserved block type", std::string("\x07\x00", 2), 10, Outcome::Damaged, 0},
        {"distance before the start", std::string("\x03\x02\x00", 3), 10, Outcome::Damaged, 0},
    };
    EntryInflater inflater;
    for (const Case& c : cases) {
        const Fed fed = Feed(inflater, c.stream, 5000, c.limit);
        EXPECT_EQ(fed.result.outcome, c.outcome) << c.what;
        if (c.produced != SIZE_MAX) {
            EXPECT_EQ(fed.result.produced, c.produced) << c.what;
        }
        EXPECT_LE(fed.result.produced, c.limit) << c.what;
        EXPECT_TRUE(data.compare(0, fed.out.size(), fed.out) == 0) << c.what;
    }
}

TEST(EntryInflater, FailedReadsAndWritesEndTheEntry) {
    const std::string data = MixedData(600000);
    const std::string stream = RawDeflate(data, 6);
    EntryInflater inflater;
    EXPECT_EQ(Feed(inflater, stream, 1000, data.size(), false, 3000).result.outcome,
              Outcome::ReadFailed);
    EXPECT_EQ(Feed(inflater, data, 1000, data.size(), true, 3000).result.outcome,
              Outcome::ReadFailed);
    int writes = 0;
    const EntryInflater::Reader read = [&](unsigned char* buffer, unsigned size) {
        const auto n = std::min<std::size_t>(size, stream.size());
        std::memcpy(buffer, stream.data(), n);  // only the first read is ever wanted here
        return static_cast<int>(n);
    };
    const EntryInflater::Writer refuse = [&](const unsigned char*, std::size_t) {
        ++writes;
        return false;
    };
    EXPECT_EQ(inflater.Inflate(read, refuse, data.size()).outcome, Outcome::WriteFailed);
    EXPECT_EQ(writes, 1);
    // The same inflater still inflates whole after the failures.
    const Fed fed = Feed(inflater, stream, SIZE_MAX, data.size());
    EXPECT_EQ(fed.result.outcome, Outcome::Complete);
    EXPECT_TRUE(fed.out == data);
}

TEST(EntryInflater, CopiesStoredDataUpToTheLimitWithItsCrc) {
    const std::string data = MixedData(700000);
    EntryInflater inflater;
    for (const std::uint64_t limit :
         {std::uint64_t{0}, std::uint64_t{12345}, std::uint64_t{700000}, std::uint64_t{800000}}) {
        const Fed fed = Feed(inflater, data, 70000, limit, true);
        const std::string expected = data.substr(0, limit);
        EXPECT_EQ(fed.result.outcome, Outcome::Complete) << limit;
        EXPECT_TRUE(fed.out == expected) << limit;
        EXPECT_EQ(fed.result.produced, expected.size()) << limit;
        EXPECT_EQ(fed.result.crc, ZlibCrc(expected)) << limit;
    }
}

}  // namespace
