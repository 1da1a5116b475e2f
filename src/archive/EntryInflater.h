#pragma once
// The data of an entry out of its raw stream through fixed buffers, so memory stays the same
// whatever the entry's size: inflated, or copied when stored, with the CRC-32 of what comes
// out taken on the way.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

struct inflate_state;

// The CRC-32 of the ZIP format over size more bytes, continuing from crc (0 to start).
std::uint32_t ContinueZipCrc(std::uint32_t crc, const unsigned char* data, std::size_t size);

class EntryInflater {
public:
    // Compressed bytes into buffer: how many, 0 at the end of the entry, below 0 on a failure.
    using Reader = std::function<int(unsigned char* buffer, unsigned size)>;
    // Inflated bytes out; false when they could not be taken.
    using Writer = std::function<bool(const unsigned char* data, std::size_t size)>;

    enum class Outcome {
        // The stream or the input ended, or the limit was reached first.
        Complete,
        // The stream broke a rule of the format or its bytes ran out before its end.
        Damaged,
        ReadFailed,
        WriteFailed,
    };
    struct Result {
        Outcome outcome = Outcome::Complete;
        std::uint64_t produced = 0;
        std::uint32_t crc = 0;
    };

    // Input and output buffers of this size; the inflater's own state adds about 90 KiB.
    static constexpr std::size_t kInputBytes = 1u << 16;
    static constexpr std::size_t kOutputBytes = 1u << 18;

    EntryInflater();
    ~EntryInflater();
    EntryInflater(const EntryInflater&) = delete;
    EntryInflater& operator=(const EntryInflater&) = delete;

    // False when the memory for the state and the buffers could not be had.
    bool Ready() const;

    // Inflates one stream from its start, handing out no more than limit bytes in all.
    Result Inflate(const Reader& read, const Writer& write, std::uint64_t limit);
    // Hands out what read gives, up to limit bytes; Damaged is never the outcome.
    Result Copy(const Reader& read, const Writer& write, std::uint64_t limit);

private:
    std::unique_ptr<inflate_state> m_state;
    std::unique_ptr<unsigned char[]> m_input;
    std::unique_ptr<unsigned char[]> m_output;
};
