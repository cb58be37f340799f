// The jump graphs shipped in assets/graphs against independent counts: a brute force over the
// graph's jumps with its own bit operations and its own application of the listed symmetries,
// and the totals published for the two boards. Their place lines give them jump families, which
// must find exactly the jumps the jump lists find.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "solver/engine/graph_file.h"
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

struct Expansion {
    std::vector<uint64_t> layers;
    std::vector<Count256> spectrum;
    uint64_t jumps = 0;
    bool families = false;
};

Expansion expand(const JumpGraph& g, ExpandMethod::Jumps jumps, int32_t layers) {
    MemoryBudget budget(uint64_t{512} << 20);
    LayeredSearch search(g, budget, 2, true, ExpandMethod{jumps, true});
    for (int32_t k = 0; k < layers && search.expandNext() == ExpandResult::Expanded; ++k) {
    }
    return Expansion{search.layerSizes(), search.spectrum(), search.jumpsGenerated(),
                     search.usesFamilies()};
}

// The triangle to its end; the English board through layer 13 (1.9 million classes, its dense
// half is the bench's), every layer by families even where the lists would be cheaper.
TEST(ShippedGraphsTest, JumpFamiliesExpandAsTheJumpListsDo) {
    using Jumps = ExpandMethod::Jumps;
    for (const auto& [name, layers] :
         {std::pair{"triangle.txt", 100}, std::pair{"english.txt", 13}}) {
        const JumpGraph g = shippedGraph(name);
        // The places must not make the graph pass for one built from the board.
        EXPECT_TRUE(g.slotRefs.empty()) << name;
        const Expansion lists = expand(g, Jumps::Lists, layers);
        EXPECT_GE(lists.layers.size(), 14u) << name;
        for (Jumps jumps : {Jumps::Families, Jumps::Cheapest}) {
            const Expansion other = expand(g, jumps, layers);
            EXPECT_TRUE(other.families) << name;
            EXPECT_EQ(other.layers, lists.layers) << name;
            EXPECT_EQ(other.spectrum, lists.spectrum) << name;
            EXPECT_EQ(other.jumps, lists.jumps) << name;
        }
    }
}

// Positions of every density, most of them unreachable from the start, against the jump rule
// applied to each jump in turn.
TEST(ShippedGraphsTest, JumpFamiliesFindTheLegalJumpsOfRandomPositions) {
    std::mt19937 rng(33);
    for (const char* name : {"triangle.txt", "english.txt"}) {
        const JumpGraph g = shippedGraph(name);
        MemoryBudget budget(uint64_t{64} << 20);
        const LayeredSearch families(g, budget, 1, true,
                                     ExpandMethod{ExpandMethod::Jumps::Families});
        const LayeredSearch lists(g, budget, 1, true, ExpandMethod{ExpandMethod::Jumps::Lists});
        ASSERT_TRUE(families.usesFamilies()) << name;
        std::vector<int32_t> slots(g.slotCount);
        std::iota(slots.begin(), slots.end(), 0);
        std::vector<int32_t> out(g.jumps.size() + 1);
        auto found = [&](const LayeredSearch& search, Bits p) {
            const int32_t n = search.legalJumpsOf(p, out.data());
            std::vector<int32_t> jumps(out.begin(), out.begin() + n);
            std::sort(jumps.begin(), jumps.end());
            return jumps;
        };
        for (int32_t i = 0; i < 3000; ++i) {
            std::shuffle(slots.begin(), slots.end(), rng);
            Bits p;
            for (int32_t k = 0; k < i % (g.slotCount + 1); ++k) {
                p.set(slots[k]);
            }
            std::vector<int32_t> legal;
            for (size_t j = 0; j < g.jumps.size(); ++j) {
                if (canJump(p, g.jumps[j])) {
                    legal.push_back(static_cast<int32_t>(j));
                }
            }
            ASSERT_EQ(found(families, p), legal) << name << " position " << i;
            ASSERT_EQ(found(lists, p), legal) << name << " position " << i;
        }
    }
}

// What a search shows of itself, to compare the two ways of keeping a position.
struct Shown {
    std::vector<uint64_t> layers;
    std::vector<Count256> spectrum;
    uint64_t jumps = 0;
    std::vector<std::pair<Bits, Count256>> lastLayer;  // in the order it is walked
    std::vector<std::optional<std::vector<Jump>>> sequences;
    friend bool operator==(const Shown&, const Shown&) = default;
};

Shown shown(const JumpGraph& g, bool narrow, int32_t threads, int32_t layers) {
    MemoryBudget budget(uint64_t{512} << 20);
    LayeredSearch search(g, budget, threads, true, ExpandMethod{.narrow = narrow});
    for (int32_t k = 0; k < layers && search.expandNext() == ExpandResult::Expanded; ++k) {
    }
    Shown s{search.layerSizes(), search.spectrum(), search.jumpsGenerated(), {}, {}};
    search.forEachInLastLayer([&](Bits p, const Count256& c) { s.lastLayer.emplace_back(p, c); });
    for (int32_t m = 0; m <= g.start.count(); ++m) {
        s.sequences.push_back(search.sequenceTo(m));
    }
    return s;
}

// A graph of at most 64 slots keeps its positions in one word. The tables then hold the same
// positions in the same order, so everything is the same as with two words: the triangle to its
// end, the English board through layer 11 (its last layer walked, half a million classes).
TEST(ShippedGraphsTest, PositionsInOneWordChangeNothing) {
    for (const auto& [name, layers] :
         {std::pair{"triangle.txt", 100}, std::pair{"english.txt", 11}}) {
        const JumpGraph g = shippedGraph(name);
        const Shown wide = shown(g, false, 2, layers);
        EXPECT_GT(wide.lastLayer.size(), 0u) << name;
        EXPECT_TRUE(std::any_of(wide.sequences.begin(), wide.sequences.end(), [](const auto& s) {
            return s.has_value();
        })) << name;
        EXPECT_TRUE(shown(g, true, 2, layers) == wide) << name;
        EXPECT_TRUE(shown(g, true, 1, layers) == wide) << name;
    }
}

// Places the families cannot use leave the search to the jump lists, whatever is asked.
TEST(ShippedGraphsTest, PlacesTheFamiliesCannotUseAreIgnored) {
    const JumpGraph good = shippedGraph("triangle.txt");
    std::vector<JumpGraph> bad(4, good);
    bad[0].places[7] = bad[0].places[3];  // two slots on one place
    bad[1].places[7].cell = 64;           // past the planes
    bad[2].places[7].plane = 3;
    bad[3].places.pop_back();  // a slot without a place
    const Expansion lists = expand(good, ExpandMethod::Jumps::Lists, 100);
    for (const JumpGraph& g : bad) {
        const Expansion asked = expand(g, ExpandMethod::Jumps::Families, 100);
        EXPECT_FALSE(asked.families);
        EXPECT_EQ(asked.layers, lists.layers);
        EXPECT_EQ(asked.spectrum, lists.spectrum);
    }
}

}  // namespace
}  // namespace kvarlo::engine
