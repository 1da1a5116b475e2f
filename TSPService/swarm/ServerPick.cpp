#include "ServerPick.h"

namespace vesk::tsp_service {
namespace {

bool Wanted(const PieceView& view, std::size_t piece, bool anyHolder) {
    if (view.have[piece] || view.busy[piece]) return false;
    return anyHolder || piece >= view.availability.size() || view.availability[piece] == 0;
}

}  // namespace

std::optional<PieceRun> PickServerRun(const PieceView& view, bool anyHolder, std::int64_t maxBytes,
                                      std::mt19937& random) {
    std::vector<int> candidates;
    for (std::size_t piece = 0; piece < view.have.size(); ++piece)
        if (Wanted(view, piece, anyHolder)) candidates.push_back(static_cast<int>(piece));
    if (candidates.empty()) return std::nullopt;
    std::uniform_int_distribution<std::size_t> pick(0, candidates.size() - 1);
    PieceRun run{candidates[pick(random)], 0};
    run.last = run.first;
    std::int64_t bytes = view.sizes[static_cast<std::size_t>(run.first)];
    for (auto next = static_cast<std::size_t>(run.last) + 1;
         next < view.have.size() && Wanted(view, next, anyHolder) &&
         bytes + view.sizes[next] <= maxBytes;
         ++next) {
        bytes += view.sizes[next];
        run.last = static_cast<int>(next);
    }
    return run;
}

}  // namespace vesk::tsp_service
