// The best-ending search and its bounds against exact answers: on figures small enough for an
// exhaustive reference, no bound is ever above the true best, the search reaches the true best
// and proves exactly that; the engine's exact results do not depend on the search beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "solver/brute_force.h"
#include "solver/engine/best.h"
#include "solver/engine/bounds.h"
#include "solver/engine/engine.h"
#include "solver/engine/graph_file.h"
#include "solver/engine/parts.h"
#include "solver/engine/split_best.h"
#include "solver/replay.h"

namespace kvarlo::engine {
namespace {

// An engine's options: its memory, and its threads (the default's unless given).
EngineOptions engineOptions(uint64_t memoryBytes, int32_t threads = EngineOptions{}.threads) {
    EngineOptions options;
    options.threads = threads;
    options.memoryBytes = memoryBytes;
    return options;
}

// The fewest matches any complete game ends with, by the board-level brute force.
int32_t exactBest(Board board) {
    testing::BruteForce brute;
    const auto spectrum = brute.spectrum(board);
    for (size_t m = 0; m < spectrum.size(); ++m) {
        if (spectrum[m] != 0) {
            return static_cast<int32_t>(m);
        }
    }
    return -1;
}

BestEnding searchThrough(const JumpGraph& graph, uint64_t bytes = 32ull << 20) {
    MemoryBudget budget(64ull << 20);
    BestSearch search(graph, budget, bytes, true);
    std::atomic<bool> stop{false};
    search.run(stop);  // returns once the best is proven
    EXPECT_TRUE(search.finished());
    return search.result();
}

TEST(EndingBoundsTest, NeverAboveTheTrueBest) {
    std::mt19937 rng(31);
    int32_t aboveTrivial = 0;
    for (int32_t i = 0; i < 40; ++i) {
        Board board = testing::randomFigure(rng, 6 + i % 8, 1 + i % 3);
        const JumpGraph graph = graphFromBoard(board);
        const EndingBounds bounds(graph);
        const int32_t best = exactBest(board);
        const int32_t lowest = bounds.lowest(graph.start) + graph.fixedMatches;
        EXPECT_LE(lowest, best) << i;
        // The permanent matches stay to the end of every game, so on the best one too.
        EXPECT_LE(bounds.permanent(graph.start).count() + graph.fixedMatches, best) << i;
        aboveTrivial += lowest > 1;
    }
    // Sparse figures strand matches: the bounds must see some of them, not just say 1.
    EXPECT_GT(aboveTrivial, 5);
}

TEST(EndingBoundsTest, ParityClassesOfALine) {
    // Five slots in a row, jumps over a neighbour both ways. The triples span three of the
    // five dimensions: two parity classes, (a, b, a + b, a, b) over the slots. {0, 1, 3, 4}
    // is in class zero, which no single slot is, so two matches stay at least; by hand, two
    // do: 0 over 1 to 2, then 3 over 2 to 1 leaves {1, 4}.
    JumpGraph graph;
    std::string error;
    ASSERT_TRUE(
        parseGraph("slots 5\n"
                   "jump 0 1 2\njump 2 1 0\njump 1 2 3\njump 3 2 1\njump 2 3 4\njump 4 3 2\n"
                   "start 0 1 3 4\n",
                   graph, error))
        << error;
    const EndingBounds bounds(graph);
    EXPECT_EQ(bounds.parityDimension(), 2);
    EXPECT_EQ(bounds.lowest(graph.start), 2);
    const BestEnding r = searchThrough(graph);
    EXPECT_EQ(r.best, 2);
    EXPECT_EQ(r.lowest, 2);
}

TEST(BestSearchTest, ReachesAndProvesTheTrueBest) {
    std::mt19937 rng(47);
    for (int32_t i = 0; i < 40; ++i) {
        Board board = testing::randomFigure(rng, 8 + i % 9, 2);
        const JumpGraph graph = graphFromBoard(board);
        const int32_t best = exactBest(board);
        const BestEnding r = searchThrough(graph);
        EXPECT_EQ(r.best, best) << i;
        EXPECT_EQ(r.lowest, best) << i;  // proven, and nothing more than the truth
        EXPECT_EQ(replayedEnding(board, graph, r.jumps), r.best) << i;
    }
}

TEST(BestSearchTest, LargerFiguresAgainstTheExactLayers) {
    // Too many games for the brute force, few enough positions for the layers.
    std::mt19937 rng(5);
    for (int32_t i = 0; i < 4; ++i) {
        Board board = testing::randomFigure(rng, 16 + i, 2);
        const JumpGraph graph = graphFromBoard(board);
        const EngineOptions options = engineOptions(512ull << 20);
        SearchEngine exact(graph, options);
        exact.run({}, {});
        const EngineReport full = exact.report();
        ASSERT_TRUE(full.complete);
        const BestEnding r = searchThrough(graph);
        EXPECT_EQ(r.best, full.best) << i;
        EXPECT_EQ(r.lowest, full.best) << i;
        EXPECT_EQ(replayedEnding(board, graph, r.jumps), r.best) << i;
    }
}

TEST(BestSearchTest, AnIncompleteEngineProvesTheTrueBest) {
    // Budgets too small for the layers: the proof comes from the best-ending search and the
    // bounds, and must agree with the brute force.
    std::mt19937 rng(77);
    int32_t incomplete = 0;
    for (int32_t i = 0; i < 12; ++i) {
        Board board = testing::randomFigure(rng, 12 + i % 5, 2);
        const JumpGraph graph = graphFromBoard(board);
        const EngineOptions options = engineOptions(256 * 1024, 2);
        SearchEngine engine(graph, options);
        engine.run([&] { return engine.report().bestProven; }, {});
        const EngineReport r = engine.report();
        EXPECT_EQ(r.best, exactBest(board)) << i;
        EXPECT_EQ(replayedEnding(board, graph, r.bestSequence), r.best) << i;
        EXPECT_LE(r.peakBytes, options.memoryBytes);
        incomplete += !r.complete;
    }
    EXPECT_GT(incomplete, 6);  // most proofs came from the search, not from the layers
}

TEST(BestSearchTest, StopsWhenAskedAndGoesOn) {
    // A dense figure: stopped before it can start, the search has nothing; run again, it
    // finds an ending the replay confirms.
    const Board board = testing::fullBoardLessOne(testing::ref(24, 0));
    const JumpGraph graph = graphFromBoard(board);
    MemoryBudget budget(256ull << 20);
    BestSearch search(graph, budget, BestSearch::share(budget.limit()), true);
    std::atomic<bool> stop{true};
    search.run(stop);
    EXPECT_EQ(search.result().best, -1);
    stop = false;
    search.run(stop);  // a single match is the least possible: it ends once it has one
    const BestEnding r = search.result();
    EXPECT_EQ(r.best, 1);
    EXPECT_EQ(r.lowest, 1);
    EXPECT_EQ(replayedEnding(board, graph, r.jumps), 1);
    EXPECT_LE(budget.peak(), budget.limit());
}

TEST(BestSearchTest, EngineResultsDoNotDependOnIt) {
    // Exact results are the same on every run and for any thread count, whatever the
    // best-ending search did beside the layers; its own best never goes below the truth.
    std::mt19937 rng(61);
    for (int32_t i = 0; i < 3; ++i) {
        Board board = testing::randomFigure(rng, 14 + 2 * i, 2);
        const JumpGraph graph = graphFromBoard(board);
        EngineReport first;
        for (int32_t threads : {1, 2, 2}) {
            const EngineOptions options = engineOptions(512ull << 20, threads);
            SearchEngine engine(graph, options);
            engine.run({}, {});
            const EngineReport r = engine.report();
            ASSERT_TRUE(r.complete);
            EXPECT_TRUE(r.bestProven);
            EXPECT_GE(r.bestFoundMs, 0);
            if (first.layers.empty()) {
                first = r;
                continue;
            }
            EXPECT_EQ(r.layers, first.layers);
            EXPECT_EQ(r.spectrum, first.spectrum);
            EXPECT_EQ(r.best, first.best);
            EXPECT_EQ(r.bestSequence, first.bestSequence);
            EXPECT_EQ(r.jumpsGenerated, first.jumpsGenerated);
        }
    }
}

TEST(BestSearchTest, TheBestFoundIsTimedWithinTheRunsThatFoundIt) {
    // Runs cut short while the best-ending search is still finding its first endings: the last
    // publish of a run folds in what it found, and must time it within the runs so far.
    const Board board = testing::innerHexagon();
    const JumpGraph graph = graphFromBoard(board);
    const EngineOptions options = engineOptions(64ull << 20, 2);
    SearchEngine engine(graph, options);
    int64_t ranMs = 0;
    bool found = false;
    // Each run a little longer, so that a slow build (sanitizers) still comes to an ending.
    for (int32_t run = 0; run < 30 && !found; ++run) {
        const auto started = std::chrono::steady_clock::now();
        engine.run(
            [run] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20 * (run + 1)));
                return true;
            },
            {});
        ranMs += std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - started)
                     .count();
        const EngineReport r = engine.report();
        found = r.best != noResult;
        if (found) {
            EXPECT_LE(r.bestFoundMs, ranMs) << "after " << run + 1 << " runs";
            EXPECT_GE(r.bestFoundMs, 0);
        }
    }
    EXPECT_TRUE(found);
}

TEST(BestSearchTest, EngineProvesADenseFigureByExistence) {
    // The 41 matches around the centre: far beyond the layers in a small budget, but an
    // ending with one match exists, which proves itself.
    const Board board = testing::innerHexagon();
    const JumpGraph graph = graphFromBoard(board);
    const EngineOptions options = engineOptions(64ull << 20, 2);
    SearchEngine engine(graph, options);
    engine.run([&] { return engine.report().bestProven; }, {});
    const EngineReport r = engine.report();
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.best, 1);
    EXPECT_GE(r.bestFoundMs, 0);
    EXPECT_EQ(replayedEnding(board, graph, r.bestSequence), 1);
    EXPECT_LE(r.peakBytes, options.memoryBytes);
}

// Figures of the kinds that fall apart, small enough for the exact layers: two blobs in
// opposite corners, a blob and a few lonely matches far from it, a thinned ring around the
// centre, a blob beside a random scatter.
Board separatedFigure(std::mt19937& rng, int32_t kind) {
    Board board(7, 7);
    std::uniform_int_distribution<int32_t> some(4, 7);
    switch (kind % 4) {
        case 0:
            testing::scatter(board, testing::slotsNear(board, 1, 1, 1), some(rng), rng);
            testing::scatter(board, testing::slotsNear(board, 5, 5, 1), some(rng), rng);
            break;
        case 1:
            testing::scatter(board, testing::slotsNear(board, 1, 2, 1), some(rng) + 3, rng);
            testing::scatter(board, testing::slotsNear(board, 5, 5, 1), 1 + kind % 3, rng);
            break;
        case 2:
            testing::scatter(board, testing::slotsNear(board, 3, 3, 3, 2), 10 + kind % 5, rng);
            break;
        default:
            testing::scatter(board, testing::slotsNear(board, 2, 1, 1), some(rng) + 2, rng);
            testing::scatter(board, testing::slotsNear(board, 3, 3, 3), 4, rng);
            break;
    }
    return board;
}

TEST(IndependentPartsTest, RandomGamesNeverLeaveAPartsReach) {
    // Every jump of every game stays inside one part's reach, and no slot is in two reaches:
    // what makes the parts' games independent.
    std::mt19937 rng(97);
    int32_t split = 0;
    for (int32_t i = 0; i < 80; ++i) {
        const Board board =
            i % 5 == 4 ? testing::randomFigure(rng, 10 + i % 20, 3) : separatedFigure(rng, i);
        const JumpGraph graph = graphFromBoard(board);
        const std::vector<FigurePart> parts = independentParts(SlotDistances(graph), graph.start);
        Bits all;
        Bits reached;
        for (const FigurePart& p : parts) {
            EXPECT_TRUE((p.matches & all).empty()) << i;
            EXPECT_TRUE((p.reach & reached).empty()) << i;
            EXPECT_EQ(p.matches & p.reach, p.matches) << i;
            all = all | p.matches;
            reached = reached | p.reach;
        }
        EXPECT_EQ(all, graph.start) << i;
        split += parts.size() > 1;
        for (int32_t game = 0; game < 30; ++game) {
            Bits p = graph.start;
            std::vector<Jump> legal;
            do {
                legal.clear();
                for (const Jump& j : graph.jumps) {
                    if (canJump(p, j)) {
                        legal.push_back(j);
                    }
                }
                if (legal.empty()) {
                    break;
                }
                const Jump j = legal[rng() % legal.size()];
                const Bits t = Bits::bit(j.from) | Bits::bit(j.over) | Bits::bit(j.to);
                const auto holds = [&](const FigurePart& part) { return (part.reach & t) == t; };
                EXPECT_EQ(std::count_if(parts.begin(), parts.end(), holds), 1) << i;
                p = afterJump(p, j);
            } while (true);
        }
    }
    EXPECT_GT(split, 30);  // the kinds above do fall apart
}

TEST(SplitBestSearchTest, ProvesTheExactLayersBestOnSeparatedFigures) {
    // The parts' bests add up to the whole figure's, as the layers count it; the sum is
    // proven, and its sequence plays on the board to a dead end with that many matches. A
    // figure that does not fall apart but lies in clusters gets its clusters' games offered:
    // its best and proof stay the layers'.
    std::mt19937 rng(211);
    int32_t split = 0;
    int32_t clustered = 0;
    for (int32_t i = 0; i < 24; ++i) {
        const Board board = separatedFigure(rng, i);
        const JumpGraph graph = graphFromBoard(board);
        const EngineOptions options = engineOptions(512ull << 20);
        SearchEngine exact(graph, options);
        exact.run({}, {});
        const EngineReport full = exact.report();
        ASSERT_TRUE(full.complete) << i;

        MemoryBudget budget(64ull << 20);
        SplitBestSearch search(graph, budget, 32ull << 20, true, 0, 2);
        std::atomic<bool> stop{false};
        search.run(stop);
        ASSERT_TRUE(search.finished()) << i;
        const BestEnding r = search.result();
        EXPECT_EQ(r.best, full.best) << i;
        EXPECT_EQ(r.lowest, full.best) << i;
        EXPECT_EQ(replayedEnding(board, graph, r.jumps), r.best) << i;
        split += search.parts() > 1;
        clustered += search.clusters() > 1;
    }
    EXPECT_GT(split, 10);
    EXPECT_GT(clustered, 2);
}

TEST(SplitBestSearchTest, AnEngineTooSmallForTheLayersProvesASeparatedFigure) {
    // Two blobs in opposite corners and a lonely match: the layers stop early, and the proof
    // comes from the parts.
    std::mt19937 rng(3);
    int32_t incomplete = 0;
    for (int32_t i = 0; i < 6; ++i) {
        Board board = separatedFigure(rng, 4 * i);
        testing::scatter(board, testing::slotsNear(board, 0, 3, 0), 1, rng);
        const JumpGraph graph = graphFromBoard(board);
        EngineOptions roomy;
        roomy.memoryBytes = 512ull << 20;
        SearchEngine exact(graph, roomy);
        exact.run({}, {});
        ASSERT_TRUE(exact.report().complete);

        EngineOptions tight;
        tight.threads = 2;
        tight.memoryBytes = 256 * 1024;
        SearchEngine engine(graph, tight);
        engine.run([&] { return engine.report().bestProven; }, {});
        const EngineReport r = engine.report();
        EXPECT_TRUE(r.bestProven) << i;
        EXPECT_EQ(r.best, exact.report().best) << i;
        EXPECT_EQ(replayedEnding(board, graph, r.bestSequence), r.best) << i;
        incomplete += !r.complete;
    }
    EXPECT_GT(incomplete, 3);
}

}  // namespace
}  // namespace kvarlo::engine
