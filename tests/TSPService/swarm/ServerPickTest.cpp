#include "swarm/ServerPick.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vesk::tsp_service {
namespace {

constexpr std::int64_t kPiece = 64 * 1024;
constexpr std::int64_t kRequest = 256 * 1024;

// One letter a piece: '.' missing and nobody holds it, 'h' had, 'b' busy (queued or handed),
// 'p' a connected peer holds it.
PieceView ViewOf(const std::string& pieces, std::int64_t lastPieceSize = kPiece) {
    PieceView view;
    for (const char piece : pieces) {
        view.have.push_back(piece == 'h');
        view.busy.push_back(piece == 'b');
        view.availability.push_back(piece == 'p' ? 1 : 0);
        view.sizes.push_back(kPiece);
    }
    if (!view.sizes.empty()) view.sizes.back() = lastPieceSize;
    return view;
}

std::set<std::pair<int, int>> RunsPicked(const PieceView& view, bool anyHolder) {
    std::mt19937 random(1);
    std::set<std::pair<int, int>> runs;
    for (int round = 0; round < 200; ++round) {
        const auto run = PickServerRun(view, anyHolder, kRequest, random);
        if (run) runs.insert({run->first, run->last});
    }
    return runs;
}

TEST(ServerPickTest, AsksOnlyForWhatTheSwarmCannotGiveInRunsOfARequestAtMost) {
    using Runs = std::set<std::pair<int, int>>;
    struct Row {
        const char* pieces;
        bool anyHolder;
        Runs runs;
    };
    const Row rows[] = {
        // Nothing missing, or only pieces a peer holds or someone fetches: nothing.
        {"hhhh", false, {}},
        {"hpbh", false, {}},
        {"", true, {}},
        // A run ends at the request's size, at a piece we have, one a peer holds or a busy one.
        {"......", false, {{0, 3}, {1, 4}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}},
        {"..h.p.", false, {{0, 1}, {1, 1}, {3, 3}, {5, 5}}},
        {".b.", false, {{0, 0}, {2, 2}}},
        // Peers that deliver nothing: what they hold is asked for too, busy pieces still not.
        {"pp.b", true, {{0, 2}, {1, 2}, {2, 2}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RunsPicked(ViewOf(row.pieces), row.anyHolder), row.runs) << row.pieces;
}

TEST(ServerPickTest, APieceLargerThanARequestIsAskedForAlone) {
    std::mt19937 random(3);
    PieceView view = ViewOf("..");
    view.sizes = {4 * kRequest, 4 * kRequest};
    const auto run = PickServerRun(view, false, kRequest, random);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->first, run->last);
}

}  // namespace
}  // namespace vesk::tsp_service
