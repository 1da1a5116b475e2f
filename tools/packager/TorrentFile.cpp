#include "TorrentFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <iterator>
#include <sstream>

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/file_storage.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/load_torrent.hpp>
#include <libtorrent/torrent_info.hpp>

#include "FileBytes.h"

namespace vesk::packager {
namespace {

constexpr int kMinPieceSize = 16 * 1024;
constexpr int kMaxPieceSize = 4 * 1024 * 1024;
constexpr std::uint64_t kMostPieces = 2000;
// Far above what two thousand piece hashes take.
constexpr std::size_t kMostTorrentBytes = 1 << 20;

std::string Hex(const lt::sha1_hash& hash) {
    std::ostringstream text;
    text << hash;
    return text.str();
}

// Reads exactly size bytes unless the file ends first; the count read, or -1.
long ReadFull(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long>(done);
}

// Hashes the pieces from the file itself: set_piece_hashes would look for it under its
// final name, which it takes only once every output is ready.
bool HashPieces(lt::create_torrent& torrent, const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string piece(static_cast<std::size_t>(torrent.piece_length()), '\0');
    bool ok = true;
    for (lt::piece_index_t i(0); ok && i < lt::piece_index_t(torrent.num_pieces()); ++i) {
        const long want = torrent.piece_size(i);
        ok = ReadFull(fd, piece.data(), static_cast<std::size_t>(want)) == want;
        if (ok) torrent.set_hash(i, lt::hasher(piece.data(), static_cast<int>(want)).final());
    }
    ::close(fd);
    return ok;
}

}  // namespace

int PieceSizeFor(std::uint64_t packageSize) {
    int size = kMinPieceSize;
    while (size < kMaxPieceSize && packageSize > kMostPieces * static_cast<std::uint64_t>(size))
        size *= 2;
    return size;
}

std::optional<Torrent> MakeTorrent(const TorrentRequest& request, std::string& error) {
    try {
        lt::file_storage files;
        files.add_file(request.name, static_cast<std::int64_t>(request.size));
        // Version one only, so a torrent has one info-hash for the tracker to list.
        lt::create_torrent torrent(files, PieceSizeFor(request.size), lt::create_torrent::v1_only);
        // Each in a tier of its own, so the first one given is asked first.
        for (std::size_t i = 0; i < request.trackers.size(); ++i)
            torrent.add_tracker(request.trackers[i], static_cast<int>(i));
        if (!request.webSeed.empty()) torrent.add_url_seed(request.webSeed);
        torrent.set_creation_date(static_cast<std::time_t>(request.created));
        if (!HashPieces(torrent, request.packagePath)) {
            error = "cannot read back \"" + request.packagePath + "\" for its torrent";
            return std::nullopt;
        }
        Torrent made;
        lt::bencode(std::back_inserter(made.bytes), torrent.generate());
        const lt::torrent_info info(made.bytes, lt::from_span);
        made.infoHash = Hex(info.info_hashes().v1);
        return made;
    } catch (const std::exception& e) {
        error = "cannot describe \"" + request.name + "\" as a torrent: " + e.what();
        return std::nullopt;
    }
}

std::optional<std::string> InfoHashOfFile(const std::string& path) {
    const FileBytes file = ReadFileBytes(path, kMostTorrentBytes);
    if (file.status != ReadStatus::Read) return std::nullopt;
    try {
        const lt::torrent_info info(file.bytes, lt::from_span);
        return Hex(info.info_hashes().v1);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace vesk::packager
