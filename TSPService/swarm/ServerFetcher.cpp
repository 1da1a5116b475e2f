#include "ServerFetcher.h"

#include <httplib.h>
#include <libtorrent/torrent_status.hpp>

#include <chrono>
#include <map>

#include "ServerPick.h"

namespace vesk::tsp_service {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kMaxRequestBytes = 256 * 1024;
// Peers hold what we lack: look again soon, as pieces arrive and peers come and go.
constexpr auto kLookAgain = std::chrono::milliseconds(150);
// Peers delivered nothing for this long: the server sends what is missing, whoever holds it.
constexpr auto kPeersStalled = std::chrono::seconds(2);
// A piece handed to the engine is not asked for again while its check may still be pending.
constexpr auto kHandedHold = std::chrono::seconds(10);
constexpr auto kFirstBackOff = std::chrono::milliseconds(250);
constexpr auto kLastBackOff = std::chrono::seconds(4);
constexpr auto kCutAgain = std::chrono::milliseconds(20);
constexpr int kConnectTimeoutSeconds = 10;
constexpr int kReadTimeoutSeconds = 30;
constexpr int kPartialContent = 206;

}  // namespace

ServerFetcher::ServerFetcher(lt::torrent_handle handle,
                             std::shared_ptr<const lt::torrent_info> info, const PackageUrl& url,
                             std::atomic<std::int64_t>& transferBytes,
                             std::atomic<std::int64_t>& allBytes)
    : m_handle(std::move(handle)),
      m_info(std::move(info)),
      m_url(url),
      m_transferBytes(transferBytes),
      m_allBytes(allBytes),
      m_client(std::make_unique<httplib::Client>(url.origin)) {
    m_client->set_follow_location(true);
    m_client->set_keep_alive(true);
    m_client->set_connection_timeout(kConnectTimeoutSeconds);
    m_client->set_read_timeout(kReadTimeoutSeconds);
    m_thread = std::thread([this] {
        Run();
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_wake.notify_all();
    });
}

ServerFetcher::~ServerFetcher() {
    std::unique_lock lock(m_mutex);
    m_stop = true;
    // Again until the thread ends: a request may open its connection just after a cut.
    while (!m_done) {
        m_client->stop();
        m_wake.notify_all();
        m_wake.wait_for(lock, kCutAgain);
    }
    lock.unlock();
    m_thread.join();
}

void ServerFetcher::Wait(std::chrono::milliseconds pause) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, pause, [this] { return m_stop; });
}

void ServerFetcher::Run() {
    std::mt19937 random{std::random_device{}()};
    const int pieces = m_info->num_pieces();
    PieceView view;
    view.sizes.resize(static_cast<std::size_t>(pieces));
    for (int piece = 0; piece < pieces; ++piece)
        view.sizes[static_cast<std::size_t>(piece)] = m_info->piece_size(lt::piece_index_t{piece});
    std::map<int, Clock::time_point> handed;
    std::vector<bool> hadBefore;
    auto peersLastGave = Clock::now();
    std::chrono::milliseconds backOff = kFirstBackOff;
    std::vector<lt::partial_piece_info> queue;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) return;
        }
        lt::torrent_status status;
        try {
            status = m_handle.status(lt::torrent_handle::query_pieces);
            if (status.is_finished || status.errc) return;
            if (status.state != lt::torrent_status::downloading || status.pieces.size() != pieces) {
                Wait(kLookAgain);
                continue;
            }
            m_handle.piece_availability(view.availability);
            m_handle.get_download_queue(queue);
        } catch (const std::exception&) {
            return;  // the torrent is gone
        }
        const auto now = Clock::now();
        view.have.assign(static_cast<std::size_t>(pieces), false);
        view.busy.assign(static_cast<std::size_t>(pieces), false);
        for (int piece = 0; piece < pieces; ++piece) {
            const bool has = status.pieces.get_bit(lt::piece_index_t{piece});
            view.have[static_cast<std::size_t>(piece)] = has;
            const bool fromUs = handed.count(piece) > 0;
            if (has && !fromUs && !hadBefore.empty() && !hadBefore[static_cast<std::size_t>(piece)])
                peersLastGave = now;
        }
        hadBefore = view.have;
        for (auto it = handed.begin(); it != handed.end();) {
            if (view.have[static_cast<std::size_t>(it->first)] || now - it->second > kHandedHold)
                it = handed.erase(it);
            else
                view.busy[static_cast<std::size_t>((it++)->first)] = true;
        }
        for (const lt::partial_piece_info& partial : queue)
            view.busy[static_cast<std::size_t>(static_cast<int>(partial.piece_index))] = true;
        const bool stalled = now - peersLastGave > kPeersStalled;
        const auto run = PickServerRun(view, stalled, kMaxRequestBytes, random);
        if (!run) {
            Wait(kLookAgain);
            continue;
        }
        bool fetched = false;
        try {
            fetched = FetchRun(run->first, run->last);
        } catch (const std::exception&) {
            return;
        }
        if (!fetched) {
            Wait(backOff);
            backOff = std::min<std::chrono::milliseconds>(backOff * 2, kLastBackOff);
            continue;
        }
        backOff = kFirstBackOff;
        for (int piece = run->first; piece <= run->last; ++piece) handed[piece] = Clock::now();
    }
}

// Asks the server for the pieces' bytes in one range and hands each whole piece to the engine.
bool ServerFetcher::FetchRun(int first, int last) {
    const std::int64_t from = static_cast<std::int64_t>(first) * m_info->piece_length();
    std::int64_t size = 0;
    for (int piece = first; piece <= last; ++piece)
        size += m_info->piece_size(lt::piece_index_t{piece});
    const httplib::Headers headers{
        {"Range", "bytes=" + std::to_string(from) + "-" + std::to_string(from + size - 1)}};
    std::string body;
    body.reserve(static_cast<std::size_t>(size));
    const auto result = m_client->Get(
        m_url.target, headers,
        [](const httplib::Response& response) { return response.status == kPartialContent; },
        [&](const char* data, std::size_t length) {
            m_transferBytes += static_cast<std::int64_t>(length);
            m_allBytes += static_cast<std::int64_t>(length);
            if (body.size() + length > static_cast<std::size_t>(size)) return false;
            body.append(data, length);
            return true;
        });
    if (!result || body.size() != static_cast<std::size_t>(size)) return false;
    std::size_t offset = 0;
    for (int piece = first; piece <= last; ++piece) {
        m_handle.add_piece(lt::piece_index_t{piece}, body.data() + offset);
        offset += static_cast<std::size_t>(m_info->piece_size(lt::piece_index_t{piece}));
    }
    return true;
}

}  // namespace vesk::tsp_service
