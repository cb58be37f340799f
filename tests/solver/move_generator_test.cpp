// The engine's move generation against the jump rule applied jump by jump: every way finds the
// same legal jumps, and the graph-order listing the best-ending search relies on is that order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "solver/engine/move_generator.h"
#include "support/boards.h"

namespace kvarlo::engine {
namespace {

// The legal jumps by the rule on each jump of the graph, in the graph's order.
std::vector<int32_t> scanned(const JumpGraph& graph, Bits p) {
    std::vector<int32_t> legal;
    for (size_t j = 0; j < graph.jumps.size(); ++j) {
        if (canJump(p, graph.jumps[j])) {
            legal.push_back(static_cast<int32_t>(j));
        }
    }
    return legal;
}

// Positions from nearly empty to nearly full: each slot holds a match with the given chance.
std::vector<Bits> samplePositions(const JumpGraph& graph) {
    std::mt19937_64 rng(7);
    std::vector<Bits> positions;
    for (const double density : {0.1, 0.3, 0.5, 0.7, 0.9}) {
        std::bernoulli_distribution match(density);
        for (int32_t k = 0; k < 40; ++k) {
            Bits p;
            for (int32_t s = 0; s < graph.slotCount; ++s) {
                if (match(rng)) {
                    p.set(s);
                }
            }
            positions.push_back(p);
        }
    }
    return positions;
}

// The full 7 x 7 board: every slot with a match but the centre's direction 0.
JumpGraph almostFullGraph() {
    Board board(7, 7);
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            board.nodes[i].edges[d].hasMatch = board.slotExists(i, d) ? 1 : 0;
        }
    }
    board.slot(testing::ref(24, 0)).hasMatch = 0;
    return graphFromBoard(board);
}

TEST(MoveGeneratorTest, EveryWayFindsTheRulesJumpsAndTheGraphOrderIsTheGraphs) {
    const JumpGraph graph = almostFullGraph();
    using Way = MoveGenerator::Way;
    std::vector<int32_t> out(graph.jumps.size() + 1);
    bool someWayDiffersInOrder = false;
    for (const Way way : {Way::Lists, Way::Families, Way::Cheapest}) {
        const MoveGenerator moves(graph, way);
        ASSERT_TRUE(moves.usesFamilies());
        for (const Bits p : samplePositions(graph)) {
            const std::vector<int32_t> expected = scanned(graph, p);
            std::vector<int32_t> found(out.begin(),
                                       out.begin() + moves.legalJumpsOf(p, out.data()));
            someWayDiffersInOrder = someWayDiffersInOrder || found != expected;
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, expected);
            const int32_t n = moves.legalJumpsInGraphOrder(p, out.data());
            EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + n), expected);
        }
    }
    // Otherwise the graph-order listing would be checked against nothing it has to put right.
    EXPECT_TRUE(someWayDiffersInOrder);
}

}  // namespace
}  // namespace kvarlo::engine
