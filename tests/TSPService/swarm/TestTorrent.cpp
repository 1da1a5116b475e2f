#include "TestTorrent.h"

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/torrent_info.hpp>

#include <iterator>
#include <random>
#include <sstream>

namespace vesk::test {

TestTorrent MakeTorrent(const std::filesystem::path& file, const std::string& tracker,
                        int pieceSize) {
    lt::file_storage files;
    lt::add_files(files, file.string());
    lt::create_torrent maker(files, pieceSize, lt::create_torrent::v1_only);
    if (!tracker.empty()) maker.add_tracker(tracker);
    lt::set_piece_hashes(maker, file.parent_path().string());
    TestTorrent torrent;
    lt::bencode(std::back_inserter(torrent.bytes), maker.generate());
    const lt::torrent_info info(torrent.bytes, lt::from_span);
    std::ostringstream hex;
    hex << info.info_hashes().v1;
    torrent.infoHash = hex.str();
    return torrent;
}

std::string NoiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

}  // namespace vesk::test
