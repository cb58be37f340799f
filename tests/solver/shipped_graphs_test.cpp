// The jump graphs shipped in assets/graphs against independent counts: a brute force over the
// graph's jumps with its own bit operations and its own application of the listed symmetries,
// and the totals published for the two boards.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "solver/engine/layers.h"

namespace kvarlo::engine {
namespace {

using Wide = unsigned __int128;
using State = Wide;  // bit i: slot i holds a peg

JumpGraph shippedGraph(const std::string& name) {
    std::ifstream in(std::string(SOURCE_DIR) + "/assets/graphs/" + name);
    std::stringstream text;
    text << in.rdbuf();
    JumpGraph graph;
    std::string error;
    EXPECT_TRUE(parseGraph(text.str(), graph, error)) << name << ": " << error;
    return graph;
}

State one(int32_t slot) {
    return State{1} << slot;
}

State startOf(const JumpGraph& g) {
    State s = 0;
    for (int32_t i = 0; i < g.slotCount; ++i) {
        if (g.start.test(i)) {
            s |= one(i);
        }
    }
    return s;
}

std::vector<State> movesFrom(const JumpGraph& g, State s) {
    std::vector<State> out;
    for (const Jump& j : g.jumps) {
        if ((s & one(j.from)) && (s & one(j.over)) && !(s & one(j.to))) {
            out.push_back(s - one(j.from) - one(j.over) + one(j.to));
        }
    }
    return out;
}

// The smallest image of a state under the listed permutations, slot by slot.
State smallestImage(const JumpGraph& g, State s) {
    State best = s;
    for (const Permutation& p : g.symmetries) {
        State image = 0;
        for (int32_t i = 0; i < g.slotCount; ++i) {
            if (s & one(i)) {
                image |= one(p[i]);
            }
        }
        best = std::min(best, image);
    }
    return best;
}

// Symmetry classes reachable in k jumps, for k = 0 .. layers - 1 (all of them when fewer).
std::vector<uint64_t> classesPerLayer(const JumpGraph& g, int32_t layers) {
    std::vector<uint64_t> sizes;
    std::set<State> layer{startOf(g)};
    while (!layer.empty() && static_cast<int32_t>(sizes.size()) < layers) {
        std::set<State> classes;
        for (State s : layer) {
            classes.insert(smallestImage(g, s));
        }
        sizes.push_back(classes.size());
        std::set<State> next;
        for (State s : layer) {
            for (State c : movesFrom(g, s)) {
                next.insert(c);
            }
        }
        layer.swap(next);
    }
    return sizes;
}

// spectrum[m]: complete games (jump sequences until no jump is left) ending with m pegs.
std::vector<Wide> gamesBelow(const JumpGraph& g, State s,
                             std::map<State, std::vector<Wide>>& memo) {
    if (auto it = memo.find(s); it != memo.end()) {
        return it->second;
    }
    std::vector<Wide> result(g.start.count() + 1, 0);
    const auto children = movesFrom(g, s);
    if (children.empty()) {
        int32_t pegs = 0;
        for (int32_t i = 0; i < g.slotCount; ++i) {
            pegs += (s & one(i)) != 0;
        }
        result[pegs] = 1;
    }
    for (State c : children) {
        const auto below = gamesBelow(g, c, memo);
        for (size_t m = 0; m < result.size(); ++m) {
            result[m] += below[m];
        }
    }
    memo.emplace(s, result);
    return result;
}

TEST(ShippedGraphsTest, TheBoardsAreWhatTheyClaim) {
    const JumpGraph triangle = shippedGraph("triangle.txt");
    EXPECT_EQ(triangle.slotCount, 15);
    EXPECT_EQ(triangle.jumps.size(), 36u);
    EXPECT_EQ(triangle.symmetries.size(), 6u);
    EXPECT_EQ(triangle.start.count(), 14);
    EXPECT_FALSE(triangle.start.test(0));

    const JumpGraph english = shippedGraph("english.txt");
    EXPECT_EQ(english.slotCount, 33);
    EXPECT_EQ(english.jumps.size(), 76u);
    EXPECT_EQ(english.symmetries.size(), 8u);
    EXPECT_EQ(english.start.count(), 32);
    EXPECT_FALSE(english.start.test(16));
    // Every jump's reverse is a jump too, and the start is symmetric: the centre is fixed.
    for (const Jump& j : english.jumps) {
        const Jump back{j.to, j.over, j.from};
        EXPECT_NE(std::find(english.jumps.begin(), english.jumps.end(), back), english.jumps.end());
    }
    for (const Permutation& p : english.symmetries) {
        EXPECT_EQ(p[16], 16);
    }
}

TEST(ShippedGraphsTest, TriangleCountsMatchBruteForceAndThePublishedTotals) {
    const JumpGraph g = shippedGraph("triangle.txt");
    std::map<State, std::vector<Wide>> memo;
    const auto expected = gamesBelow(g, startOf(g), memo);
    const auto layers = classesPerLayer(g, 100);
    for (int32_t threads : {1, 2}) {
        MemoryBudget budget(uint64_t{64} << 20);
        LayeredSearch search(g, budget, threads);
        while (search.expandNext() == ExpandResult::Expanded) {
        }
        ASSERT_TRUE(search.finished());
        EXPECT_EQ(search.layerSizes(), layers);
        ASSERT_EQ(search.spectrum().size(), expected.size());
        Count256 games;
        for (size_t m = 0; m < expected.size(); ++m) {
            EXPECT_EQ(search.spectrum()[m], Count256(expected[m])) << "pegs " << m;
            addCount(games, search.spectrum()[m]);
        }
        // Published for the corner start: 568 630 games, 29 760 of them ending with one peg.
        EXPECT_EQ(toDecimal(games), "568630");
        EXPECT_EQ(toDecimal(search.spectrum()[1]), "29760");
    }
}

// The whole English board (23 475 688 classes, 5.8 · 10^20 games) takes seconds and most of a
// gigabyte: the bench checks those totals. Here its first layers against the brute force.
TEST(ShippedGraphsTest, EnglishBoardFirstLayersMatchBruteForce) {
    const JumpGraph g = shippedGraph("english.txt");
    constexpr int32_t layers = 9;
    const auto expected = classesPerLayer(g, layers);
    for (int32_t threads : {1, 2}) {
        MemoryBudget budget(uint64_t{256} << 20);
        LayeredSearch search(g, budget, threads);
        for (int32_t k = 1; k < layers; ++k) {
            ASSERT_EQ(search.expandNext(), ExpandResult::Expanded);
        }
        EXPECT_EQ(search.layerSizes(), expected);
    }
}

}  // namespace
}  // namespace kvarlo::engine
