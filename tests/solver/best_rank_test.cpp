// The beams of the whole figure's search beside a second search, counted in jumps rather than
// timed: with a beam that ranks the board's rim as a cost after each plain one, it meets a
// single-match ending of dense figures within a small share of the work plain beams needed; each
// best says how it was reached, and an ending handed to another search is recorded there as
// offered.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>

#include "solver/brute_force.h"
#include "solver/engine/best.h"
#include "solver/replay.h"

namespace kvarlo::engine {
namespace {

// A board with matches on the slots of a list "node:direction,...".
Board boardOfSlots(const std::string& list) {
    std::vector<EdgeRef> slots;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t colon = item.find(':');
        slots.push_back(
            testing::ref(std::stoi(item.substr(0, colon)), std::stoi(item.substr(colon + 1))));
    }
    return testing::boardWith(slots);
}

// Every slot with both ends two or three steps from the centre, less a few: 60 matches.
Board thinnedRing() {
    return boardOfSlots(
        "0:0,0:1,0:2,1:0,1:1,1:2,2:0,2:1,2:2,3:1,3:2,7:0,7:1,7:2,8:0,8:2,9:0,10:0,10:1,11:1,11:2,"
        "14:0,14:1,14:2,15:2,18:0,18:1,19:1,19:2,21:0,21:1,22:1,22:2,26:0,26:1,26:2,27:2,29:0,"
        "29:1,30:1,30:2,33:0,33:1,33:2,34:2,37:0,37:1,38:0,38:1,38:2,39:0,39:1,39:2,40:0,40:1,"
        "40:2,41:2,45:0,46:0,47:0");
}

// The full board less two neighbouring slots near a corner: 88 matches.
Board fullLessTwo() {
    Board board = testing::fullBoardLessOne(testing::ref(1, 1));
    board.slot(testing::ref(2, 1)).hasMatch = 0;
    return board;
}

// Runs a search until it has a single match or has made `jumps` jumps.
BestEnding runUntilOneOr(BestSearch& search, uint64_t jumps) {
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        while (!stop) {
            const BestEnding r = search.result();
            stop = r.jumpsGenerated >= jumps || r.best == 1;
            std::this_thread::yield();
        }
    });
    search.run(stop);
    stop = true;
    watcher.join();
    return search.result();
}

TEST(RimRankTest, TheWholeSearchMeetsASingleMatchWithinAShareOfThePlainWork) {
    // Alone, it reached the single match of these figures after 5.6 to 5.7 million jumps with
    // plain beams only (widths 512 and 1024); with a rim-ranked beam after each plain one, after
    // 0.5 to 1 million (widths 64 and 128). The bound leaves room for either to vary, not for
    // the plain rank.
    for (const Board& board : {thinnedRing(), fullLessTwo()}) {
        const JumpGraph graph = graphFromBoard(board);
        MemoryBudget budget(256ull << 20);
        BestSearch whole(graph, budget, 64ull << 20, true, BestSearch::Schedule::FewerDescents);
        const BestEnding r = runUntilOneOr(whole, 3'000'000);
        ASSERT_EQ(r.best, 1) << board.countMatches();
        EXPECT_LE(r.jumpsAtBest, 2'000'000u) << board.countMatches();
        EXPECT_LE(r.jumpsAtBest, r.jumpsGenerated);
        EXPECT_EQ(r.foundBy, Finder::Beam);
        EXPECT_GT(r.foundWidth, 0u);
        EXPECT_EQ(replayedEnding(board, graph, r.jumps), 1);
    }
}

TEST(RimRankTest, AnEndingHandedOverIsRecordedAsOffered) {
    // The second search of beams finds the endings; the search it serves records them as
    // offered, not as found by its own methods, and with its own (zero) jumps.
    std::mt19937 rng(8);
    const Board board = testing::randomFigure(rng, 16, 2);
    const JumpGraph graph = graphFromBoard(board);
    MemoryBudget budget(64ull << 20);
    BestSearch served(graph, budget, 8ull << 20, true, BestSearch::Schedule::FewerDescents);
    BestSearch beams(graph, budget, 8ull << 20, true, BestSearch::Schedule::Beams, &served);
    const std::atomic<bool> stop{false};
    ASSERT_TRUE(beams.beamAlone(64, 0, stop));
    const BestEnding found = beams.result();
    const BestEnding handed = served.result();
    ASSERT_NE(found.best, noResult);
    EXPECT_EQ(found.foundBy, Finder::Beam);
    EXPECT_EQ(found.foundWidth, 64u);
    EXPECT_GT(found.jumpsAtBest, 0u);
    EXPECT_EQ(handed.best, found.best);
    EXPECT_EQ(handed.foundBy, Finder::Offered);
    EXPECT_EQ(handed.jumpsAtBest, 0u);
    EXPECT_EQ(replayedEnding(board, graph, handed.jumps), handed.best);
}

}  // namespace
}  // namespace kvarlo::engine
