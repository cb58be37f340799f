// Resource functions and the "no ending below k" search against exact answers: on figures small
// enough to play every game (or for the exact layers to count), no weight function that is
// accepted ever rises along a jump, no slot they refute is ever filled, and the search refutes
// exactly the targets below the layers' best.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <unordered_map>
#include <unordered_set>

#include "solver/brute_force.h"
#include "solver/engine/engine.h"
#include "solver/engine/parts.h"
#include "solver/engine/refute.h"
#include "solver/engine/weights.h"

namespace kvarlo::engine {
namespace {

struct BitsHash {
    size_t operator()(Bits b) const { return static_cast<size_t>(hashBits(b)); }
};

// Every position of every game from the start, played on the graph's jumps.
std::unordered_set<Bits, BitsHash> everyPosition(const JumpGraph& graph) {
    std::unordered_set<Bits, BitsHash> seen{graph.start};
    std::vector<Bits> open{graph.start};
    while (!open.empty()) {
        const Bits p = open.back();
        open.pop_back();
        for (const Jump& j : graph.jumps) {
            if (canJump(p, j) && seen.insert(afterJump(p, j)).second) {
                open.push_back(afterJump(p, j));
            }
        }
    }
    return seen;
}

Bits everFilled(const std::unordered_set<Bits, BitsHash>& positions) {
    Bits filled;
    for (Bits p : positions) {
        filled = filled | p;
    }
    return filled;
}

bool isDeadEnd(const JumpGraph& graph, Bits p) {
    return std::none_of(graph.jumps.begin(), graph.jumps.end(),
                        [&](const Jump& j) { return canJump(p, j); });
}

// Figures of the kinds whose best is hard to prove, of `matches` matches in all (about):
// two blobs apart, a blob plus lonely matches, a thinned ring, a random scatter.
Board hardFigure(std::mt19937& rng, int32_t kind, int32_t matches) {
    Board board(7, 7);
    switch (kind % 4) {
        case 0:
            testing::scatter(board, testing::slotsNear(board, 1, 1, 1), matches / 2, rng);
            testing::scatter(board, testing::slotsNear(board, 5, 5, 1), matches - matches / 2, rng);
            break;
        case 1:
            testing::scatter(board, testing::slotsNear(board, 1, 2, 2), matches - 2, rng);
            testing::scatter(board, testing::slotsNear(board, 6, 6, 1), 2, rng);
            break;
        case 2:
            testing::scatter(board, testing::slotsNear(board, 3, 3, 3, 2), matches, rng);
            break;
        default:
            board = testing::randomFigure(rng, matches, 2);
            break;
    }
    return board;
}

// Figures that fall apart, or nearly: two blobs far apart or close, three blobs, a blob plus
// lonely matches, a thinned ring.
Board separatedFigure(std::mt19937& rng, int32_t kind, int32_t matches) {
    Board board(7, 7);
    switch (kind % 5) {
        case 1:
            testing::scatter(board, testing::slotsNear(board, 1, 2, 1), matches / 2, rng);
            testing::scatter(board, testing::slotsNear(board, 4, 4, 1), matches - matches / 2, rng);
            break;
        case 2:
            testing::scatter(board, testing::slotsNear(board, 1, 1, 1), matches / 3, rng);
            testing::scatter(board, testing::slotsNear(board, 5, 5, 1), matches / 3, rng);
            testing::scatter(board, testing::slotsNear(board, 4, 1, 1), matches - 2 * (matches / 3),
                             rng);
            break;
        default:  // two blobs far apart, a blob plus lonely matches, a thinned ring
            board = hardFigure(rng, kind % 5 == 0 ? 0 : kind % 5 - 2, matches);
            break;
    }
    return board;
}

// The fewest matches any game from p ends with, every game played out.
int32_t lowestFrom(const JumpGraph& graph, Bits p,
                   std::unordered_map<Bits, int32_t, BitsHash>& memo) {
    if (const auto it = memo.find(p); it != memo.end()) {
        return it->second;
    }
    int32_t lowest = p.count();
    for (const Jump& j : graph.jumps) {
        if (canJump(p, j)) {
            lowest = std::min(lowest, lowestFrom(graph, afterJump(p, j), memo));
        }
    }
    memo[p] = lowest;
    return lowest;
}

// The sum over groups of the fewest matches each ends with, played alone.
int32_t lowestAddedUp(const JumpGraph& graph, const std::vector<FigurePart>& groups,
                      std::unordered_map<Bits, int32_t, BitsHash>& memo) {
    int32_t sum = 0;
    for (const FigurePart& g : groups) {
        sum += lowestFrom(graph, g.matches, memo);
    }
    return sum;
}

TEST(PartsTest, SplitPositionsEndNoLowerThanTheirGroupsAddedUp) {
    // At every position of every game of small separated figures: one that falls into
    // independent parts ends, at best, with the sum of its parts' bests played alone; one that
    // falls into groups that never cross ends with no fewer than their sum. Groups that do
    // meet, taken apart, would claim more than the whole ends with somewhere here.
    std::mt19937 rng(97);
    int32_t parted = 0;
    int32_t grouped = 0;
    for (int32_t i = 0; i < 10; ++i) {
        const JumpGraph graph = graphFromBoard(separatedFigure(rng, i, 12 + i % 5));
        const SlotDistances distances(graph);
        const CrossingGroups crossing(distances);
        std::unordered_map<Bits, int32_t, BitsHash> memo;
        for (Bits p : everyPosition(graph)) {
            const std::vector<FigurePart> parts = independentParts(distances, p);
            if (parts.size() > 1) {
                ASSERT_EQ(lowestFrom(graph, p, memo), lowestAddedUp(graph, parts, memo)) << i;
                ++parted;
            }
            const std::vector<FigurePart> groups = crossing.of(p);
            if (groups.size() > 1) {
                ASSERT_GE(lowestFrom(graph, p, memo), lowestAddedUp(graph, groups, memo)) << i;
                ++grouped;
            }
        }
    }
    EXPECT_GT(parted, 1000);
    EXPECT_GT(grouped, parted);  // blocked jumps do not join groups
}

TEST(ResourceFunctionTest, AFunctionThatAJumpRaisesIsRefused) {
    // A function the program found holds; the same function with one landing slot raised
    // above its jumping and jumped slots' sum is no resource function: the check, the slot
    // table and the refutation all turn it away, even where it would refute.
    std::mt19937 rng(5);
    const JumpGraph graph = graphFromBoard(hardFigure(rng, 0, 12));
    const SlotDistances distances(graph);
    int32_t raised = 0;
    for (int32_t t = 0; t < graph.slotCount && raised < 4; ++t) {
        auto found = refutingWeights(graph.jumps, graph.slotCount, graph.start, t);
        if (!found) {
            continue;
        }
        LastMatchWeights table(graph, distances);
        const size_t before = table.functions(t);
        EXPECT_TRUE(table.add(t, *found));
        EXPECT_EQ(table.functions(t), before + 1);
        SlotWeights bad = *found;
        const Jump& j = graph.jumps[(t * 7) % graph.jumps.size()];
        bad[j.to] = bad[j.from] + bad[j.over] + 1;
        bad[t] = std::max(bad[t], totalWeight(bad, graph.start) + 1);  // would refute
        EXPECT_FALSE(keepsEveryJump(graph.jumps, bad));
        EXPECT_FALSE(refutes(graph.jumps, bad, graph.start, t));
        EXPECT_FALSE(table.add(t, bad));
        EXPECT_EQ(table.functions(t), before + 1);
        SlotWeights negative = *found;
        negative[t] = -1;
        EXPECT_FALSE(keepsEveryJump(graph.jumps, negative));
        ++raised;
    }
    EXPECT_EQ(raised, 4);
}

TEST(ResourceFunctionTest, RefutedSlotsAreNeverFilledAndNoJumpRaisesATotal) {
    // Every game of small random figures, played out: a slot the program refutes is never
    // filled, and along every jump of every game the total weight never rises.
    std::mt19937 rng(31);
    int32_t refuted = 0;
    for (int32_t i = 0; i < 8; ++i) {
        const JumpGraph graph = graphFromBoard(hardFigure(rng, i, 9 + i % 4));
        const auto positions = everyPosition(graph);
        const Bits filled = everFilled(positions);
        for (int32_t tries = 0; tries < 5; ++tries) {
            const int32_t t = static_cast<int32_t>(rng() % graph.slotCount);
            const auto w = programWeights(graph.jumps, graph.slotCount, graph.start, t);
            if (!w) {
                continue;
            }
            for (Bits p : positions) {
                for (const Jump& j : graph.jumps) {
                    if (canJump(p, j)) {
                        ASSERT_LE(totalWeight(*w, afterJump(p, j)), totalWeight(*w, p)) << i;
                    }
                }
            }
            if (refutes(graph.jumps, *w, graph.start, t)) {
                EXPECT_FALSE(filled.test(t)) << i << " slot " << t;
                ++refuted;
            }
        }
    }
    EXPECT_GT(refuted, 5);  // the figures are small enough for the programs to refute slots
}

TEST(ResourceFunctionTest, TightenedReachHoldsEverySlotAGameFills) {
    // The reach the programs shrink still holds every slot some game fills, and it is no
    // larger than the golden-ratio reach it started from.
    std::mt19937 rng(43);
    int32_t smaller = 0;
    for (int32_t i = 0; i < 4; ++i) {
        const JumpGraph graph = graphFromBoard(hardFigure(rng, i, 8 + i));
        const Bits golden = SlotDistances(graph).reachOf(graph.start);
        const Bits tight = tightenedReach(graph.jumps, graph.slotCount, graph.start, golden);
        const Bits filled = everFilled(everyPosition(graph));
        EXPECT_EQ(filled & tight, filled) << i;
        EXPECT_EQ(tight & golden, tight) << i;
        smaller += tight.count() < golden.count();
    }
    EXPECT_GT(smaller, 0);
}

// Per position: the slots on which some game from it ends with a single match.
Bits aloneEndings(const JumpGraph& graph, Bits p, std::unordered_map<Bits, Bits, BitsHash>& memo) {
    if (const auto it = memo.find(p); it != memo.end()) {
        return it->second;
    }
    Bits slots;
    bool dead = true;
    for (const Jump& j : graph.jumps) {
        if (canJump(p, j)) {
            dead = false;
            slots = slots | aloneEndings(graph, afterJump(p, j), memo);
        }
    }
    if (dead && p.count() == 1) {
        slots = p;
    }
    memo[p] = slots;
    return slots;
}

TEST(LastMatchWeightsTest, NeverExcludesASlotAGameEndsOnAlone) {
    // For every position of every game and every slot some game from it ends on with a single
    // match: no function for that slot, golden or from the program, excludes it.
    std::mt19937 rng(59);
    int32_t endings = 0;
    for (int32_t i = 0; i < 10; ++i) {
        const JumpGraph graph = graphFromBoard(testing::randomFigure(rng, 6 + i % 6, 1));
        LastMatchWeights weights(graph, SlotDistances(graph));
        for (int32_t s = 0; s < graph.slotCount; ++s) {
            weights.addProgram(s, graph.start);
        }
        std::unordered_map<Bits, Bits, BitsHash> memo;
        aloneEndings(graph, graph.start, memo);
        for (const auto& entry : memo) {
            const Bits& p = entry.first;  // a plain name: clang 14 lambdas cannot capture bindings
            forEachBit(entry.second, [&](int32_t s) {
                EXPECT_FALSE(weights.excludes(p, s)) << i << " slot " << s;
                ++endings;
            });
        }
    }
    EXPECT_GT(endings, 20);
}

struct Exact {
    int32_t best;  // graph matches, fixed ones left out
    bool complete;
};

Exact exactLayers(const JumpGraph& graph) {
    EngineOptions options;
    options.threads = 1;
    options.memoryBytes = 256ull << 20;
    SearchEngine engine(graph, options);
    engine.run(nullptr, nullptr);
    const EngineReport r = engine.report();
    return Exact{r.best - graph.fixedMatches, r.complete};
}

// Plays the jumps from the start: the matches at the end, or -1 when a jump is illegal or
// the end is not a dead end.
int32_t playedEnding(const JumpGraph& graph, const std::vector<Jump>& jumps) {
    Bits p = graph.start;
    for (const Jump& j : jumps) {
        if (!canJump(p, j)) {
            return -1;
        }
        p = afterJump(p, j);
    }
    return isDeadEnd(graph, p) ? p.count() : -1;
}

TEST(RefutationSearchTest, RefutesExactlyTheTargetsBelowTheLayersBest) {
    // Below the layers' best the search proves there is nothing; at the best it finds a game
    // that plays to it. A proof the layers deny, or a refutation of a reachable ending, fails.
    std::mt19937 rng(73);
    std::atomic<bool> stop{false};
    for (int32_t i = 0; i < 16; ++i) {
        const JumpGraph graph = graphFromBoard(hardFigure(rng, i, 10 + (i * 5) % 13));
        const Exact exact = exactLayers(graph);
        ASSERT_TRUE(exact.complete) << i;
        RefutationSearch search(graph, 1 << 20, i % 2 == 0, i % 4 < 2);
        if (exact.best > 0) {
            EXPECT_EQ(search.run(exact.best - 1, stop), RefutationSearch::Outcome::refuted)
                << i << ": an ending below the layers' best " << exact.best << " in "
                << playedEnding(graph, search.ending());
        }
        ASSERT_EQ(search.run(exact.best, stop), RefutationSearch::Outcome::found) << i;
        EXPECT_EQ(playedEnding(graph, search.ending()), exact.best) << i;
    }
}

TEST(RefutationSearchTest, PartsRefuteExactlyTheTargetsBelowTheLayersBest) {
    // On figures that fall apart as they are played, positions cut by their parts' endings:
    // below the layers' best everything is refuted, and at the best a game is still found.
    // A part's bound raised by one, or parts that meet taken apart, fail here. The start's
    // bounds alone never claim more than the best.
    std::mt19937 rng(101);
    std::atomic<bool> stop{false};
    uint64_t cuts = 0;
    int32_t provenAtStart = 0;
    for (int32_t i = 0; i < 15; ++i) {
        const JumpGraph graph = graphFromBoard(separatedFigure(rng, i, 10 + (i * 5) % 9));
        const Exact exact = exactLayers(graph);
        ASSERT_TRUE(exact.complete) << i;
        RefutationSearch search(graph, 1 << 20, i % 2 == 0, i % 3 == 0);
        EXPECT_LE(lowestAtStart(graph), exact.best) << i;
        if (lowestAtStart(graph) == exact.best &&
            EndingBounds(graph).lowest(graph.start) < exact.best) {
            // Proven by the start's groups alone: at once, long before a search would start.
            BelowBest below(graph);
            BestEnding known;
            known.best = exact.best + graph.fixedMatches;
            below.run([&] { return known; }, 1000, 1 << 20, true, stop);
            EXPECT_EQ(below.attempts(), 0) << i;
            EXPECT_EQ(below.lowest(), known.best) << i;
            ++provenAtStart;
        }
        if (exact.best > 0) {
            EXPECT_EQ(search.run(exact.best - 1, stop), RefutationSearch::Outcome::refuted)
                << i << ": an ending below the layers' best " << exact.best << " in "
                << playedEnding(graph, search.ending());
        }
        ASSERT_EQ(search.run(exact.best, stop), RefutationSearch::Outcome::found) << i;
        EXPECT_EQ(playedEnding(graph, search.ending()), exact.best) << i;
        cuts += search.partCuts();
    }
    EXPECT_GT(cuts, 100u);        // the parts did cut
    EXPECT_GT(provenAtStart, 0);  // and some figures are proven by their start's groups
}

TEST(RefutationSearchTest, StopsWhenAsked) {
    std::mt19937 rng(7);
    const JumpGraph graph = graphFromBoard(hardFigure(rng, 3, 20));
    RefutationSearch search(graph, 1 << 20, true);
    std::atomic<bool> stop{true};
    EXPECT_EQ(search.run(0, stop), RefutationSearch::Outcome::stopped);
}

TEST(BelowBestTest, ProvesTheTrueBestAndFindsItBelowABestAboveIt) {
    // Given the true best, unproven, it proves it. Given one above the truth, it finds a
    // better ending, keeps it (a real game to the truth) and then proves that one.
    std::mt19937 rng(89);
    for (int32_t i = 0; i < 4; ++i) {
        const JumpGraph graph = graphFromBoard(hardFigure(rng, i, 12 + i));
        const Exact exact = exactLayers(graph);
        ASSERT_TRUE(exact.complete);
        const int32_t truth = exact.best + graph.fixedMatches;
        std::atomic<bool> stop{false};
        BelowBest proven(graph);
        BestEnding known;
        known.best = truth;
        proven.run([&] { return known; }, 2, 1 << 20, true, stop);
        EXPECT_LE(proven.attempts(), 1) << i;  // none when the start's bounds prove it
        EXPECT_EQ(proven.lowest(), truth) << i;
        EXPECT_EQ(proven.found().best, noResult) << i;

        BelowBest above(graph);
        known.best = truth + 1;
        int32_t asked = 0;
        above.run(
            [&] {
                stop = ++asked >= 1000;  // a stop for a search that would never end
                return known;
            },
            2, 1 << 20, true, stop);
        EXPECT_FALSE(stop) << i;
        EXPECT_GE(above.attempts(), 1) << i;
        EXPECT_EQ(above.found().best, truth) << i;
        EXPECT_EQ(playedEnding(graph, above.found().jumps), exact.best) << i;
        EXPECT_EQ(above.lowest(), truth) << i;
    }
}

}  // namespace
}  // namespace kvarlo::engine
