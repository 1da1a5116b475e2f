#pragma once
// Torrents for the service's tests, made by the engine from a file on disk.

#include <filesystem>
#include <string>

namespace vesk::test {

struct TestTorrent {
    std::string bytes;     // the .torrent file
    std::string infoHash;  // v1, hex
};

// A single-file torrent of the file, with the tracker when one is given.
TestTorrent MakeTorrent(const std::filesystem::path& file, const std::string& tracker = "",
                        int pieceSize = 16 * 1024);
// Bytes that do not compress and differ by seed.
std::string NoiseBytes(std::size_t size, unsigned seed);

}  // namespace vesk::test
