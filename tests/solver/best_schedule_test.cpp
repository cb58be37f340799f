// The second search of a dense figure, the one of beams only, against exact answers: every
// ending it finds is a real game, never below the exact layers' best, handed to the search it
// serves, and a later run never loses what an earlier one found; the whole figure's search with
// it beside still reaches and proves the layers' best.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "solver/brute_force.h"
#include "solver/engine/best.h"
#include "solver/engine/engine.h"
#include "solver/engine/split_best.h"
#include "solver/replay.h"

namespace kvarlo::engine {
namespace {

// The exact layers' best of a figure small enough for them.
int32_t layersBest(const JumpGraph& graph) {
    EngineOptions options;
    options.memoryBytes = 512ull << 20;
    SearchEngine exact(graph, options);
    exact.run({}, {});
    const EngineReport r = exact.report();
    EXPECT_TRUE(r.complete);
    return r.best;
}

// Runs a search until it has examined `more` jumps beyond what it had, or has `enough`.
void runFor(BestSearch& search, uint64_t more, int32_t enough) {
    std::atomic<bool> stop{false};
    const uint64_t until = search.result().jumpsGenerated + more;
    std::thread watcher([&] {
        while (!stop) {
            const BestEnding r = search.result();
            if (r.jumpsGenerated >= until || (r.best != noResult && r.best <= enough)) {
                stop = true;
            }
            std::this_thread::yield();
        }
    });
    search.run(stop);
    stop = true;
    watcher.join();
}

TEST(BeamScheduleTest, EndingsAreRealHandedOverAndNeverLost) {
    // Figures of 50 to 90 % of the slots around the centre, in slices of work: after each the
    // beams' best is a legal game to a dead end, no better than the layers allow, no worse than
    // the slice before, and the search it serves holds it too.
    std::mt19937 rng(2026);
    int32_t reached = 0;
    constexpr int32_t figures = 10;
    for (int32_t i = 0; i < figures; ++i) {
        const Board board = testing::randomFigure(rng, 14 + i % 6, 2);
        const JumpGraph graph = graphFromBoard(board);
        const int32_t exact = layersBest(graph);
        MemoryBudget budget(64ull << 20);
        BestSearch served(graph, budget, 8ull << 20, true);
        BestSearch beams(graph, budget, 8ull << 20, true, BestSearch::Schedule::Beams, &served);
        int32_t before = noResult;
        for (int32_t slice = 0; slice < 6; ++slice) {
            runFor(beams, 20'000, exact);
            const BestEnding r = beams.result();
            ASSERT_NE(r.best, noResult) << i;
            EXPECT_GE(r.best, exact) << i;
            if (before != noResult) {
                EXPECT_LE(r.best, before) << i << " slice " << slice;
            }
            before = r.best;
            EXPECT_EQ(replayedEnding(board, graph, r.jumps), r.best) << i;
            const BestEnding handed = served.result();
            EXPECT_EQ(handed.best, r.best) << i;
            EXPECT_EQ(replayedEnding(board, graph, handed.jumps), handed.best) << i;
        }
        reached += before == exact;
    }
    // Beams that rank at random would seldom meet the best of these figures.
    EXPECT_GE(reached, figures * 7 / 10);
}

TEST(BeamScheduleTest, TheWholeSearchWithItStillProvesTheLayersBest) {
    // Dense random figures of one part, with the second search beside the whole figure's
    // (offered every ending it finds, its own depth-first searches shortened) and no size
    // threshold: the best proven is the layers' best and its game replays on the board.
    std::mt19937 rng(404);
    for (int32_t i = 0; i < 12; ++i) {
        const Board board = testing::randomFigure(rng, 12 + i % 8, 2);
        const JumpGraph graph = graphFromBoard(board);
        const int32_t exact = layersBest(graph);
        MemoryBudget budget(64ull << 20);
        SplitBestSearch search(graph, budget, 32ull << 20, true, 0, 100, 0);
        std::atomic<bool> stop{false};
        search.run(stop);  // returns once the best is proven
        ASSERT_TRUE(search.finished()) << i;
        const BestEnding r = search.result();
        EXPECT_EQ(r.best, exact) << i;
        EXPECT_EQ(r.lowest, exact) << i;
        EXPECT_EQ(replayedEnding(board, graph, r.jumps), r.best) << i;
        EXPECT_LE(budget.peak(), budget.limit());
    }
}

}  // namespace
}  // namespace kvarlo::engine
