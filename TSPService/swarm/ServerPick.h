#pragma once
// Which pieces a player asks the server for: one it lacks that no connected peer holds and
// nobody is fetching, picked at random so players take different ones, extended over the
// following such pieces up to a request's size.

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace vesk::tsp_service {

struct PieceView {
    std::vector<bool> have;
    std::vector<bool> busy;         // in the engine's download queue or just handed to it
    std::vector<int> availability;  // connected peers holding it
    std::vector<std::int64_t> sizes;
};

struct PieceRun {
    int first = 0;
    int last = 0;  // inclusive
};

// nullopt when the server need not send anything now. anyHolder: take pieces peers hold too
// (the peers have stopped delivering).
std::optional<PieceRun> PickServerRun(const PieceView& view, bool anyHolder, std::int64_t maxBytes,
                                      std::mt19937& random);

}  // namespace vesk::tsp_service
