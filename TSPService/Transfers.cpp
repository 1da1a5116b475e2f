#include "Transfers.h"

#include <sstream>

#include "TokenStore.h"

namespace vesk::tsp_service {

Transfers::Transfers(int connections, Swarm& swarm, ByteCounters& counters)
    : m_connections(connections), m_swarm(swarm), m_counters(counters) {}

Transfers::~Transfers() {
    StopAll();
}

TransferView Transfers::Start(const std::string& url, const std::filesystem::path& destDir,
                              bool p2p) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_transfers.begin(); it != m_transfers.end(); ++it) {
        const TransferView view = it->second->View();
        if (view.url != url || view.destDir != destDir) continue;
        if (view.statusId != kStatusComplete && view.statusId != kStatusFailed) return view;
        // A finished transfer of the same package is asked for again: start it afresh.
        m_transfers.erase(it);
        break;
    }
    const std::string id = RandomHex(16);
    auto transfer =
        std::make_shared<Transfer>(id, url, destDir, m_connections, p2p, m_swarm, m_counters);
    transfer->Begin();
    m_transfers[id] = transfer;
    return transfer->View();
}

std::shared_ptr<Transfer> Transfers::Find(const std::string& torrentId) {
    std::lock_guard lock(m_mutex);
    const auto it = m_transfers.find(torrentId);
    return it == m_transfers.end() ? nullptr : it->second;
}

std::optional<TransferView> Transfers::View(const std::string& torrentId) {
    const auto transfer = Find(torrentId);
    if (!transfer) return std::nullopt;
    return transfer->View();
}

std::optional<TransferView> Transfers::Pause(const std::string& torrentId) {
    const auto transfer = Find(torrentId);
    if (!transfer) return std::nullopt;
    transfer->Pause();
    return transfer->View();
}

std::optional<TransferView> Transfers::Resume(const std::string& torrentId) {
    const auto transfer = Find(torrentId);
    if (!transfer) return std::nullopt;
    transfer->Resume();
    return transfer->View();
}

bool Transfers::Cancel(const std::string& torrentId, bool deleteFiles) {
    std::shared_ptr<Transfer> transfer;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_transfers.find(torrentId);
        if (it == m_transfers.end()) return false;
        transfer = it->second;
        m_transfers.erase(it);
    }
    // Outside the lock: the worker may take a moment to notice.
    transfer->Stop(deleteFiles);
    return true;
}

bool Transfers::SetP2P(const std::string& torrentId, bool on) {
    const auto transfer = Find(torrentId);
    if (transfer) transfer->SetP2P(on);
    return transfer != nullptr;
}

std::vector<TransferView> Transfers::ViewList(const std::string& torrentIds) {
    std::vector<TransferView> views;
    if (torrentIds.empty()) {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, transfer] : m_transfers) views.push_back(transfer->View());
        return views;
    }
    std::istringstream ids(torrentIds);
    for (std::string id; std::getline(ids, id, ',');) {
        if (auto view = View(id)) views.push_back(*view);
    }
    return views;
}

void Transfers::StopAll() {
    std::map<std::string, std::shared_ptr<Transfer>> all;
    {
        std::lock_guard lock(m_mutex);
        all.swap(m_transfers);
    }
    for (const auto& [id, transfer] : all) transfer->Stop(false);
}

}  // namespace vesk::tsp_service
