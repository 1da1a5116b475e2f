#include "EntryInflater.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <new>

namespace {

EntryInflater::Result Ended(EntryInflater::Result result, EntryInflater::Outcome outcome) {
    result.outcome = outcome;
    return result;
}

}  // namespace

std::uint32_t ContinueZipCrc(std::uint32_t crc, const unsigned char* data, std::size_t size) {
    // Folded with carry-less multiplication: about ten times zlib's crc32 on this machine.
    return crc32_gzip_refl(crc, data, size);
}

EntryInflater::EntryInflater()
    : m_state(new (std::nothrow) inflate_state),
      m_input(new (std::nothrow) unsigned char[kInputBytes]),
      m_output(new (std::nothrow) unsigned char[kOutputBytes]) {}

EntryInflater::~EntryInflater() = default;

bool EntryInflater::Ready() const {
    return m_state && m_input && m_output;
}

// Output stops at the limit even when the stream goes on, as the announced size is all the
// entry may hold; the caller's size and CRC checks judge what came out.
EntryInflater::Result EntryInflater::Inflate(const Reader& read, const Writer& write,
                                             std::uint64_t limit) {
    Result result;
    inflate_state& state = *m_state;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_DEFLATE;
    bool inputEnded = false;
    while (result.produced < limit) {
        if (state.avail_in == 0 && !inputEnded) {
            const int n = read(m_input.get(), kInputBytes);
            if (n < 0) return Ended(result, Outcome::ReadFailed);
            inputEnded = n == 0;
            state.next_in = m_input.get();
            state.avail_in = static_cast<std::uint32_t>(n);
        }
        const auto room = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(kOutputBytes, limit - result.produced));
        state.next_out = m_output.get();
        state.avail_out = room;
        const std::uint32_t offered = state.avail_in;
        if (isal_inflate(&state) < 0) return Ended(result, Outcome::Damaged);
        const std::uint32_t made = room - state.avail_out;
        if (made > 0) {
            result.crc = ContinueZipCrc(result.crc, m_output.get(), made);
            result.produced += made;
            if (!write(m_output.get(), made)) return Ended(result, Outcome::WriteFailed);
        }
        if (state.block_state == ISAL_BLOCK_FINISH) break;
        // Nothing taken and nothing made: the input ended before the stream did.
        if (made == 0 && state.avail_in == offered && (inputEnded || offered > 0)) {
            return Ended(result, Outcome::Damaged);
        }
    }
    return result;
}

EntryInflater::Result EntryInflater::Copy(const Reader& read, const Writer& write,
                                          std::uint64_t limit) {
    Result result;
    while (result.produced < limit) {
        const auto wanted =
            static_cast<unsigned>(std::min<std::uint64_t>(kOutputBytes, limit - result.produced));
        const int n = read(m_output.get(), wanted);
        if (n < 0) return Ended(result, Outcome::ReadFailed);
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        result.crc = ContinueZipCrc(result.crc, m_output.get(), got);
        result.produced += got;
        if (!write(m_output.get(), got)) return Ended(result, Outcome::WriteFailed);
    }
    return result;
}
