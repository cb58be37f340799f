// The layered search against the independent brute force: positions per layer, complete games,
// best results and their replay, symmetry reduction, threads, widening counts, stop and budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <new>
#include <string>

#include "solver/brute_force.h"
#include "solver/engine/graph_file.h"
#include "solver/engine/layers.h"

namespace kvarlo::engine {
namespace {

using testing::BruteForce;
using testing::Wide;

struct Outcome {
    std::vector<uint64_t> layers;
    std::vector<Count256> spectrum;
    ExpandResult last;
};

Outcome solve(const JumpGraph& graph, int32_t threads, bool symmetry,
              uint64_t budget = 1ull << 30) {
    MemoryBudget memory(budget);
    LayeredSearch search(graph, memory, threads, symmetry);
    ExpandResult r;
    while ((r = search.expandNext()) == ExpandResult::Expanded) {
    }
    return Outcome{search.layerSizes(), search.spectrum(), r};
}

std::vector<Count256> widened(const std::vector<Wide>& v) {
    std::vector<Count256> out;
    for (Wide x : v) {
        out.push_back(Count256(x));
    }
    return out;
}

int32_t fewest(const std::vector<Count256>& spectrum) {
    for (size_t i = 0; i < spectrum.size(); ++i) {
        if (!spectrum[i].isZero()) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

TEST(JumpGraphTest, JumpsAreTheGameRulesJumps) {
    Board board = testing::boardWith({{24, 0}, {24, 1}});
    const JumpGraph graph = graphFromBoard(board);
    EXPECT_EQ(graph.slotCount, 90);
    EXPECT_EQ(graph.start.count(), 2);
    auto has = [&](EdgeRef from, EdgeRef over, EdgeRef to) {
        const Jump j{static_cast<uint8_t>(slotIndexOf(graph, from)),
                     static_cast<uint8_t>(slotIndexOf(graph, over)),
                     static_cast<uint8_t>(slotIndexOf(graph, to))};
        return std::find(graph.jumps.begin(), graph.jumps.end(), j) != graph.jumps.end();
    };
    EXPECT_TRUE(has({24, 0}, {24, 1}, {31, 0}));
    EXPECT_TRUE(has({24, 1}, {24, 0}, {17, 1}));
    EXPECT_TRUE(has({24, 0}, {25, 2}, {32, 0}));
    EXPECT_FALSE(has({24, 0}, {25, 0}, {26, 0}));
    // Every graph jump is legal on the board when its two matches are there, and the board has
    // no legal jump the graph lacks: compare on the full board minus one slot.
    Board full = testing::fullBoardLessOne(testing::ref(24, 0));
    const auto legal = testing::legalJumps(full);
    EXPECT_EQ(legal.size(), 4u);
    for (const MoveRecord& m : legal) {
        EXPECT_TRUE(has(m.from, m.jumped, m.to));
    }
    EXPECT_EQ(graphFromBoard(full).symmetries.size(), 12u);
}

TEST(JumpGraphTest, MissingSlotsBreakSymmetries) {
    Board board(7, 7);
    board.slot({24, 0}).hasMatch = 1;
    EXPECT_EQ(graphFromBoard(board).symmetries.size(), 12u);
    board.slot({1, 0}).exists = 0;  // the middle slot of the hexagon's side y = 0
    const JumpGraph graph = graphFromBoard(board);
    EXPECT_EQ(graph.slotCount, 89);
    EXPECT_EQ(graph.symmetries.size(), 2u);  // the mirror across that side's bisector survives
    board.slot({0, 0}).exists = 0;           // a side slot off every axis
    EXPECT_EQ(graphFromBoard(board).symmetries.size(), 1u);
    for (const Permutation& p : graph.symmetries) {
        EXPECT_TRUE(isGraphSymmetry(graph, p));
    }
}

TEST(LayeredSearchTest, PositionsPerLayerMatchBruteForce) {
    std::mt19937 rng(7);
    for (int32_t trial = 0; trial < 6; ++trial) {
        Board board = testing::randomFigure(rng, 8 + trial % 3);
        const auto expected = testing::positionsPerLayer(board);
        const Outcome got = solve(graphFromBoard(board), 1, false);
        ASSERT_EQ(got.last, ExpandResult::Finished);
        ASSERT_EQ(got.layers.size(), expected.size()) << "trial " << trial;
        for (size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(got.layers[k], expected[k]) << "trial " << trial << " layer " << k;
        }
    }
}

TEST(LayeredSearchTest, CompleteGamesAndBestMatchBruteForce) {
    std::mt19937 rng(2024);
    for (int32_t trial = 0; trial < 10; ++trial) {
        Board board = testing::randomFigure(rng, 10 + trial % 5);
        BruteForce brute;
        const auto expected = widened(brute.spectrum(board));
        const JumpGraph graph = graphFromBoard(board);
        for (int32_t threads : {1, 2}) {
            const Outcome got = solve(graph, threads, true);
            EXPECT_EQ(got.spectrum, expected) << "trial " << trial << " threads " << threads;
        }
    }
}

TEST(LayeredSearchTest, BestSequenceReplaysOnTheBoard) {
    std::mt19937 rng(99);
    for (int32_t trial = 0; trial < 8; ++trial) {
        Board board = testing::randomFigure(rng, 12 + trial % 3);
        const JumpGraph graph = graphFromBoard(board);
        MemoryBudget memory(1ull << 30);
        LayeredSearch search(graph, memory, 2);
        while (search.expandNext() == ExpandResult::Expanded) {
        }
        const int32_t best = fewest(search.spectrum());
        const auto sequence = search.sequenceTo(best);
        ASSERT_TRUE(sequence.has_value()) << "trial " << trial;
        Board replay(board);
        for (const Jump& j : *sequence) {
            const MoveRecord m = toMoveRecord(graph, j);
            ASSERT_TRUE(isLegalJump(replay, m)) << "trial " << trial;
            testing::play(replay, m);
        }
        EXPECT_EQ(replay.countMatches(), best);
        EXPECT_TRUE(testing::legalJumps(replay).empty());
        // A class that never ends a game has no sequence.
        EXPECT_FALSE(search.sequenceTo(board.countMatches() + 1).has_value());
    }
}

// The hexagon of twelve slots around the centre: six spokes and six rim slots.
Board centralHexagon() {
    Board board(7, 7);
    for (EdgeRef r : testing::centralSlots(board, 1)) {
        const Node& n = board.nodes[r.node];
        const int32_t fx = n.x + DX[r.direction] - 3;
        const int32_t fy = n.y + DY[r.direction] - 3;
        if (std::max({std::abs(fx), std::abs(fy), std::abs(fx - fy)}) <= 1) {
            board.slot(r).hasMatch = 1;
        }
    }
    return board;
}

TEST(LayeredSearchTest, SymmetryReductionChangesNothingButTheLayerSizes) {
    Board board = centralHexagon();
    ASSERT_EQ(board.countMatches(), 12);
    const JumpGraph symmetric = graphFromBoard(board);
    EXPECT_EQ(symmetric.symmetries.size(), 12u);
    const Outcome reduced = solve(symmetric, 2, true);
    const Outcome plain = solve(symmetric, 1, false);
    BruteForce brute;
    EXPECT_EQ(plain.spectrum, widened(brute.spectrum(board)));
    EXPECT_EQ(reduced.spectrum, plain.spectrum);
    ASSERT_EQ(reduced.layers.size(), plain.layers.size());
    EXPECT_LT(reduced.layers[1], plain.layers[1]);

    // Removing slots far from the figure breaks most symmetries but no game.
    Board lopsided(board);
    lopsided.slot({0, 0}).exists = 0;
    lopsided.slot({45, 2}).exists = 0;
    const JumpGraph asymmetric = graphFromBoard(lopsided);
    EXPECT_LT(asymmetric.symmetries.size(), symmetric.symmetries.size());
    EXPECT_EQ(solve(asymmetric, 2, true).spectrum, plain.spectrum);
}

TEST(LayeredSearchTest, AsymmetricStartUnderSymmetricSlots) {
    // The slots are symmetric, the start is not: class counts must still add up every member.
    std::mt19937 rng(5);
    for (int32_t trial = 0; trial < 4; ++trial) {
        Board board = testing::randomFigure(rng, 11, 1);
        const JumpGraph graph = graphFromBoard(board);
        ASSERT_EQ(graph.symmetries.size(), 12u);
        EXPECT_EQ(solve(graph, 2, true).spectrum, solve(graph, 1, false).spectrum);
    }
}

TEST(LayeredSearchTest, ThreadCountDoesNotChangeAnything) {
    std::mt19937 rng(31);
    Board board = testing::randomFigure(rng, 18, 2);
    const JumpGraph graph = graphFromBoard(board);
    const Outcome one = solve(graph, 1, true);
    const Outcome two = solve(graph, 2, true);
    const Outcome four = solve(graph, 4, true);
    EXPECT_EQ(one.layers, two.layers);
    EXPECT_EQ(one.layers, four.layers);
    EXPECT_EQ(one.spectrum, two.spectrum);
    EXPECT_EQ(one.spectrum, four.spectrum);
}

TEST(LayeredSearchTest, EveryWayOfExpandingFindsTheSameLayers) {
    // Dense: the whole board but four slots, where walking the empty slots is cheapest, four
    // layers deep; sparse: a small figure where the jump families are, solved to the end.
    Board dense = testing::fullBoardLessOne(EdgeRef{24, 0});
    for (EdgeRef r : {EdgeRef{10, 1}, EdgeRef{31, 2}, EdgeRef{3, 0}}) {
        dense.slot(r).hasMatch = 0;
    }
    std::mt19937 rng(5);
    const Board sparse = testing::randomFigure(rng, 13, 2);
    using Jumps = ExpandMethod::Jumps;
    for (const auto& [board, depth] : {std::pair{dense, 4}, std::pair{sparse, 100}}) {
        const JumpGraph graph = graphFromBoard(board);
        std::optional<std::pair<std::vector<uint64_t>, std::vector<Count256>>> first;
        // Every way of finding the jumps and the images, then batches of children from the
        // least one that is ordered before its merge to the largest.
        std::vector<ExpandMethod> methods;
        for (Jumps jumps : {Jumps::Lists, Jumps::Families, Jumps::Cheapest}) {
            for (bool vectors : {false, true}) {
                methods.push_back(ExpandMethod{jumps, vectors});
            }
        }
        for (int32_t batch : {1, 129, 4096}) {
            methods.push_back(ExpandMethod{Jumps::Cheapest, true, batch});
        }
        for (const ExpandMethod& method : methods) {
            MemoryBudget memory(1ull << 30);
            LayeredSearch search(graph, memory, 2, true, method);
            EXPECT_TRUE(search.usesFamilies());
            for (int32_t k = 0; k < depth && search.expandNext() == ExpandResult::Expanded; ++k) {
            }
            const std::pair got{search.layerSizes(), search.spectrum()};
            if (!first) {
                first = got;
                EXPECT_GE(got.first.size(), 5u);
            } else {
                EXPECT_EQ(got, *first) << "jumps " << static_cast<int>(method.jumps) << " vectors "
                                       << method.vectors << " batch " << method.batch;
            }
        }
    }
}

// A line of a graph file: the keyword, then the numbers, each after a space. Appended piece by
// piece: GCC 12 takes a literal put in front of a temporary string for an overlapping copy.
template <typename... Numbers>
std::string graphLine(const char* keyword, Numbers... numbers) {
    std::string line = keyword;
    ((line += ' ', line += std::to_string(numbers)), ...);
    line += '\n';
    return line;
}

// A chain in which every step can be made two ways (from a over b, or from b over a, both onto
// the same slot) doubles the count at each jump with one position per layer; two independent
// side jumps interleave anywhere. 2^62 * 62 * 61 games: far beyond 64 bits.
JumpGraph doublingChain(int32_t steps) {
    std::string text = graphLine("slots", 2 * steps + 1 + 6);
    // z_i = 2i, y_i = 2i - 1 (i >= 1)
    std::string start = "start 0";
    for (int32_t i = 1; i <= steps; ++i) {
        const int32_t z0 = 2 * (i - 1), y = 2 * i - 1, z1 = 2 * i;
        text += graphLine("jump", z0, y, z1);
        text += graphLine("jump", y, z0, z1);
        start += ' ';
        start += std::to_string(y);
    }
    const int32_t base = 2 * steps + 1;
    for (int32_t side = 0; side < 2; ++side) {
        const int32_t a = base + 3 * side;
        text += graphLine("jump", a, a + 1, a + 2);
        text += graphLine("jump", a + 1, a, a + 2);
        for (const int32_t slot : {a, a + 1}) {
            start += ' ';
            start += std::to_string(slot);
        }
    }
    text += start + "\n";
    JumpGraph graph;
    std::string error;
    EXPECT_TRUE(parseGraph(text, graph, error)) << error;
    return graph;
}

// `pairs` games side by side, each a match that jumps over its neighbour onto a third slot, one
// of two ways (from a over b, or from b over a): 3 * pairs slots, and the games interleave
// anywhere, so layer k holds C(pairs, k) positions, each reached 2^k * k! ways.
JumpGraph independentPairs(int32_t pairs) {
    std::string text = graphLine("slots", 3 * pairs) + "start";
    for (int32_t i = 0; i < pairs; ++i) {
        for (const int32_t slot : {3 * i, 3 * i + 1}) {
            text += ' ';
            text += std::to_string(slot);
        }
    }
    text += "\n";
    for (int32_t i = 0; i < pairs; ++i) {
        const std::string a = std::to_string(3 * i), b = std::to_string(3 * i + 1),
                          c = std::to_string(3 * i + 2);
        text += "jump " + a + " " + b + " " + c + "\njump " + b + " " + a + " " + c + "\n";
    }
    JumpGraph graph;
    std::string error;
    EXPECT_TRUE(parseGraph(text, graph, error)) << error;
    return graph;
}

TEST(LayeredSearchTest, AskingAGraphFileForJumpFamiliesChangesNothing) {
    const JumpGraph graph = doublingChain(12);
    std::vector<std::vector<uint64_t>> layers;
    for (auto jumps : {ExpandMethod::Jumps::Lists, ExpandMethod::Jumps::Families}) {
        MemoryBudget memory(1ull << 30);
        LayeredSearch search(graph, memory, 1, true, ExpandMethod{jumps, true});
        EXPECT_FALSE(search.usesFamilies());  // a file without place lines
        while (search.expandNext() == ExpandResult::Expanded) {
        }
        EXPECT_TRUE(search.finished());
        layers.push_back(search.layerSizes());
    }
    EXPECT_EQ(layers[0].size(), 15u);  // 12 chain steps and the 2 side jumps
    EXPECT_EQ(layers[1], layers[0]);
}

TEST(LayeredSearchTest, CountsWidenPastSixtyFourBitsExactly) {
    const JumpGraph graph = doublingChain(60);
    MemoryBudget memory(1ull << 30);
    LayeredSearch search(graph, memory, 2);
    while (search.expandNext() == ExpandResult::Expanded) {
    }
    EXPECT_TRUE(search.finished());
    EXPECT_EQ(search.countBits(), 128);
    const Count128 expected = (Count128{1} << 62) * 62 * 61;
    EXPECT_EQ(search.spectrum()[3], Count256(expected));
    EXPECT_EQ(toDecimal(search.spectrum()[3]), "17441396521692381052928");
    for (size_t m = 0; m < search.spectrum().size(); ++m) {
        if (m != 3) {
            EXPECT_TRUE(search.spectrum()[m].isZero()) << m;
        }
    }
    const auto sequence = search.sequenceTo(3);
    ASSERT_TRUE(sequence.has_value());
    EXPECT_EQ(sequence->size(), 62u);
}

// 18 pairs: 54 slots, so the positions are kept in one word, and 2^18 * 18! games, so the counts
// of the last two layers are wider than that word.
TEST(LayeredSearchTest, NarrowPositionsWidenTheirCountsExactly) {
    const JumpGraph graph = independentPairs(18);
    Count128 games = 1;
    for (uint64_t k = 1; k <= 18; ++k) {
        games *= 2 * k;
    }
    std::vector<uint64_t> binomials{1};
    for (uint64_t k = 1; k <= 18; ++k) {
        binomials.push_back(binomials.back() * (19 - k) / k);
    }
    for (bool narrow : {true, false}) {
        MemoryBudget memory(1ull << 30);
        LayeredSearch search(graph, memory, 2, true, ExpandMethod{.narrow = narrow});
        while (search.expandNext() == ExpandResult::Expanded) {
        }
        EXPECT_TRUE(search.finished());
        EXPECT_EQ(search.countBits(), 128);
        EXPECT_EQ(search.layerSizes(), binomials);
        EXPECT_EQ(search.spectrum()[18], Count256(games));
        EXPECT_EQ(toDecimal(search.spectrum()[18]), "1678343852714360832000");
        const auto sequence = search.sequenceTo(18);
        ASSERT_TRUE(sequence.has_value());
        Bits p = graph.start;
        for (const Jump& jump : *sequence) {
            ASSERT_TRUE(canJump(p, jump));
            p = afterJump(p, jump);
        }
        EXPECT_EQ(p.count(), 18);
    }
}

// Stops asked for at every tick, then a budget too small for the widest layer.
void checkStopAndOutOfMemory(const JumpGraph& graph) {
    const Outcome reference = solve(graph, 2, true);

    MemoryBudget memory(1ull << 30);
    LayeredSearch search(graph, memory, 2);
    ASSERT_EQ(search.expandNext(), ExpandResult::Expanded);
    // A tick that always asks to stop: a layer either ends before the first tick or is
    // dropped whole, leaving the layers before it as they were.
    int32_t stops = 0;
    for (int32_t attempt = 0; attempt < 3; ++attempt) {
        const int32_t before = search.lastLayer();
        const uint64_t memoryBefore = memory.used();
        const ExpandResult r = search.expandNext([] { return true; });
        if (r == ExpandResult::Stopped) {
            ++stops;
            EXPECT_EQ(search.lastLayer(), before);
            EXPECT_EQ(memory.used(), memoryBefore);
        }
    }
    EXPECT_GT(stops, 0);
    while (search.expandNext() == ExpandResult::Expanded) {
    }
    EXPECT_EQ(search.layerSizes(), reference.layers);
    EXPECT_EQ(search.spectrum(), reference.spectrum);

    // A budget that holds the first layers but not the widest one.
    const Outcome tight = solve(graph, 2, true, 64 * 1024);
    EXPECT_EQ(tight.last, ExpandResult::OutOfMemory);
    ASSERT_LT(tight.layers.size(), reference.layers.size());
    for (size_t k = 0; k < tight.layers.size(); ++k) {
        EXPECT_EQ(tight.layers[k], reference.layers[k]);
    }
}

TEST(LayeredSearchTest, StopAndOutOfMemoryKeepTheCompletedLayers) {
    std::mt19937 rng(3);
    Board board = testing::randomFigure(rng, 16, 2);
    for (const JumpGraph& graph : {graphFromBoard(board), independentPairs(12)}) {
        SCOPED_TRACE(graph.slotCount);
        checkStopAndOutOfMemory(graph);
    }
}

// Whether a layer fits depends on the positions alone: the tables of a layer end at sizes set
// by the positions each one holds, whatever order the threads brought them in, and a budget
// too small for the guessed sizes falls back to small tables that grow. Over budgets from
// "only the first layers" to "everything", one and two threads stop at the same layer, with
// the layers and the dead ends counted so far of the full search.
void checkTightBudgets(const JumpGraph& graph) {
    const Outcome reference = solve(graph, 1, true);
    ASSERT_EQ(reference.last, ExpandResult::Finished);
    int32_t stoppedEarly = 0;
    for (uint64_t budget = 16 * 1024; budget <= 8 * 1024 * 1024; budget += budget / 4) {
        const Outcome one = solve(graph, 1, true, budget);
        const Outcome two = solve(graph, 2, true, budget);
        ASSERT_EQ(one.layers, two.layers) << budget;
        EXPECT_EQ(one.last, two.last) << budget;
        EXPECT_EQ(one.spectrum, two.spectrum) << budget;
        ASSERT_LE(one.layers.size(), reference.layers.size()) << budget;
        for (size_t k = 0; k < one.layers.size(); ++k) {
            EXPECT_EQ(one.layers[k], reference.layers[k]) << budget;
        }
        if (one.last == ExpandResult::OutOfMemory) {
            ++stoppedEarly;
        } else {
            EXPECT_EQ(one.spectrum, reference.spectrum) << budget;
        }
    }
    // The range covers budgets that stop the search and budgets that let it finish.
    EXPECT_GT(stoppedEarly, 2);
    EXPECT_EQ(solve(graph, 2, true, 8 * 1024 * 1024).last, ExpandResult::Finished);
}

// Positions in two words (a board) and in one (the pairs).
TEST(LayeredSearchTest, WhereATightBudgetStopsDoesNotDependOnTheThreads) {
    std::mt19937 rng(11);
    Board board = testing::randomFigure(rng, 18, 2);
    for (const JumpGraph& graph : {graphFromBoard(board), independentPairs(13)}) {
        SCOPED_TRACE(graph.slotCount);
        checkTightBudgets(graph);
    }
}

// Memory the system refuses outside the budget, on the calling thread while the workers run
// (thrown here by the tick, which that thread asks mid-layer), drops the layer on every thread
// and comes out of expandNext with the search as it was: the same layers, dead ends and charge.
// Going on then finds what a search that was never refused finds.
TEST(LayeredSearchTest, ARefusalMidLayerLeavesTheSearchAsItWas) {
    std::mt19937 rng(5);
    const JumpGraph graph = graphFromBoard(testing::randomFigure(rng, 32, 3));
    MemoryBudget memory(256ull << 20);
    LayeredSearch search(graph, memory, 2);
    bool refused = false;
    while (!refused && search.lastLayer() < 12) {
        const std::vector<uint64_t> layers = search.layerSizes();
        const std::vector<Count256> spectrum = search.spectrum();
        const uint64_t used = memory.used();
        int32_t ticks = 0;
        try {
            // The first tick comes before any work: the later ones while it goes on.
            const ExpandResult r = search.expandNext([&] {
                if (++ticks > 1 && search.progressDone() > 0 &&
                    search.progressDone() < search.progressTotal()) {
                    throw std::bad_alloc();
                }
                return false;
            });
            ASSERT_EQ(r, ExpandResult::Expanded);
        } catch (const std::bad_alloc&) {
            refused = true;
            EXPECT_EQ(search.layerSizes(), layers);
            EXPECT_EQ(search.spectrum(), spectrum);
            EXPECT_EQ(memory.used(), used);
        }
    }
    ASSERT_TRUE(refused) << "no layer took long enough for a tick mid-layer";
    const int32_t depth = search.lastLayer() + 1;
    MemoryBudget referenceMemory(256ull << 20);
    LayeredSearch reference(graph, referenceMemory, 2);
    while (reference.lastLayer() < depth) {
        ASSERT_EQ(reference.expandNext(), ExpandResult::Expanded);
    }
    ASSERT_EQ(search.expandNext(), ExpandResult::Expanded);
    EXPECT_EQ(search.layerSizes(), reference.layerSizes());
    EXPECT_EQ(search.spectrum(), reference.spectrum());
}
}  // namespace
}  // namespace kvarlo::engine
