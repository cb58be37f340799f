// The engine facade: exact when the layers fit, and once they do not, an incomplete search
// whose best sequence is real, whose exact part stays exact, which keeps to its budget and
// which repeats itself for a given seed.
#include <gtest/gtest.h>

#include <new>

#include "solver/brute_force.h"
#include "solver/engine/engine.h"

namespace kvarlo::engine {
namespace {

// The report's best sequence is real: legal in turn on the board, ending with `best` matches
// where no jump is left.
void expectRealBestSequence(const Board& board, const JumpGraph& graph, const EngineReport& r) {
    Board replay(board);
    for (const Jump& j : r.bestSequence) {
        const MoveRecord m = toMoveRecord(graph, j);
        ASSERT_TRUE(isLegalJump(replay, m));
        testing::play(replay, m);
    }
    EXPECT_EQ(replay.countMatches(), r.best);
    EXPECT_TRUE(testing::legalJumps(replay).empty());
}

EngineReport runUntilProbes(const JumpGraph& graph, uint64_t budget, uint64_t seed,
                            uint64_t probes) {
    EngineOptions options;
    options.threads = 2;
    options.memoryBytes = budget;
    options.seed = seed;
    SearchEngine engine(graph, options);
    engine.run([&] { return engine.report().probes >= probes; }, {});
    return engine.report();
}

TEST(SearchEngineTest, ExactWhenTheLayersFit) {
    std::mt19937 rng(8);
    Board board = testing::randomFigure(rng, 14);
    const JumpGraph graph = graphFromBoard(board);
    EngineOptions options;
    options.memoryBytes = 64ull << 20;
    SearchEngine engine(graph, options);
    int32_t progressCalls = 0;
    engine.run({}, [&] { ++progressCalls; });
    const EngineReport r = engine.report();
    EXPECT_TRUE(r.complete);
    EXPECT_FALSE(r.estimated);
    EXPECT_TRUE(r.bestProven);
    EXPECT_GT(progressCalls, 0);
    testing::BruteForce brute;
    const auto expected = brute.spectrum(board);
    ASSERT_EQ(r.spectrum.size(), expected.size());
    for (size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(r.spectrum[m], Count256(expected[m])) << m;
    }
    EXPECT_EQ(r.spectrum, r.exactSpectrum);
    // Running a complete engine again changes nothing.
    engine.run({}, {});
    EXPECT_EQ(engine.report().spectrum, r.spectrum);
    EXPECT_EQ(engine.report().jumpsGenerated, r.jumpsGenerated);
}

TEST(SearchEngineTest, IncompleteSearchWithinItsBudget) {
    std::mt19937 rng(12);
    Board board = testing::randomFigure(rng, 22, 2);
    const JumpGraph graph = graphFromBoard(board);
    const uint64_t budget = 256 * 1024;
    const EngineReport r = runUntilProbes(graph, budget, 5, 2048);
    ASSERT_FALSE(r.complete);
    EXPECT_TRUE(r.layersFull);
    EXPECT_TRUE(r.estimated);
    EXPECT_LE(r.peakBytes, budget);

    ASSERT_GE(r.best, 1);
    expectRealBestSequence(board, graph, r);

    // The exact part is a lower bound of the whole; the estimate adds to it.
    const JumpGraph same = graphFromBoard(board);
    EngineOptions roomy;
    roomy.memoryBytes = 512ull << 20;
    SearchEngine exact(same, roomy);
    exact.run({}, {});
    const EngineReport full = exact.report();
    ASSERT_TRUE(full.complete);
    EXPECT_LE(full.best, r.best);
    // An incomplete search may call its best proven only when nothing does better.
    EXPECT_FALSE(r.bestProven && r.best != full.best);
    for (size_t m = 0; m < full.spectrum.size(); ++m) {
        EXPECT_FALSE(full.spectrum[m] < r.exactSpectrum[m]) << m;
        EXPECT_FALSE(r.spectrum[m] < r.exactSpectrum[m]) << m;
    }

    // The same seed gives the same estimates; another seed other ones.
    const EngineReport again = runUntilProbes(graph, budget, 5, 2048);
    EXPECT_EQ(again.layers, r.layers);
    EXPECT_EQ(again.probes, r.probes);
    EXPECT_EQ(again.exactSpectrum, r.exactSpectrum);
    EXPECT_EQ(again.spectrum, r.spectrum);
    EXPECT_EQ(again.bestSequence.size(), r.bestSequence.size());
    const EngineReport other = runUntilProbes(graph, budget, 6, 2048);
    EXPECT_NE(other.spectrum, r.spectrum);
}

TEST(SearchEngineTest, ALongLayerIsPrecededByAnEarlyAnswer) {
    std::mt19937 rng(12);
    Board board = testing::randomFigure(rng, 22, 2);
    const JumpGraph graph = graphFromBoard(board);
    EngineOptions options;
    options.memoryBytes = 512ull << 20;
    options.lookAheadPositions = 200;  // every layer past the first few counts as long
    SearchEngine engine(graph, options);
    // Stopped as soon as a best sequence and estimates are there while the layers still grow.
    EngineReport early;
    engine.run(
        [&] {
            const EngineReport r = engine.report();
            if (r.estimated && r.best >= 0) {
                early = r;
                return true;
            }
            return false;
        },
        {});
    ASSERT_TRUE(early.estimated);
    EXPECT_FALSE(early.complete);
    EXPECT_FALSE(early.layersFull);
    expectRealBestSequence(board, graph, early);

    // Going on to the end gives what an engine that never looked ahead gives, the best
    // sequence included.
    engine.run({}, {});
    const EngineReport done = engine.report();
    EngineOptions plain = options;
    plain.lookAheadPositions = UINT64_MAX;
    SearchEngine reference(graph, plain);
    reference.run({}, {});
    const EngineReport expected = reference.report();
    ASSERT_TRUE(done.complete);
    EXPECT_FALSE(done.estimated);
    EXPECT_EQ(done.spectrum, expected.spectrum);
    EXPECT_EQ(done.best, expected.best);
    EXPECT_EQ(done.bestSequence, expected.bestSequence);
}

// Memory the system refuses outside the budget (thrown here by a progress call) ends the run
// as a memory stop, not the program; the search keeps what it had, and going on finishes it
// as though nothing had happened.
TEST(SearchEngineTest, RefusedMemoryIsAMemoryStopThatKeepsTheSearch) {
    std::mt19937 rng(12);
    Board board = testing::randomFigure(rng, 22, 2);
    const JumpGraph graph = graphFromBoard(board);
    EngineOptions options;
    options.threads = 2;
    options.memoryBytes = 512ull << 20;
    options.lookAheadPositions = UINT64_MAX;
    SearchEngine engine(graph, options);
    bool thrown = false;
    EXPECT_NO_THROW(engine.run({}, [&] {
        if (!thrown && engine.report().completedLayers >= 4) {
            thrown = true;
            throw std::bad_alloc();
        }
    }));
    ASSERT_TRUE(thrown);
    const EngineReport stopped = engine.report();
    EXPECT_TRUE(stopped.memoryRefused);
    EXPECT_FALSE(stopped.complete);
    EXPECT_FALSE(stopped.layersFull);
    EXPECT_GE(stopped.completedLayers, 4);

    engine.run({}, {});
    const EngineReport done = engine.report();
    SearchEngine reference(graph, options);
    reference.run({}, {});
    const EngineReport expected = reference.report();
    ASSERT_TRUE(done.complete);
    EXPECT_FALSE(done.memoryRefused);
    EXPECT_EQ(done.layers, expected.layers);
    EXPECT_EQ(done.spectrum, expected.spectrum);
    EXPECT_EQ(done.best, expected.best);
}

TEST(SearchEngineTest, EstimatesAreUnbiasedOnAverage) {
    // With layer 0 as the last that fits, the probes estimate the whole spectrum; over many
    // probes the total must come near the exact number of games (within 1%: stratified probes
    // spread far less than single random walks, which needed 10% here).
    std::mt19937 rng(21);
    Board board = testing::randomFigure(rng, 12, 1);
    const JumpGraph graph = graphFromBoard(board);
    testing::BruteForce brute;
    const auto exact = brute.spectrum(board);
    double total = 0;
    for (auto c : exact) {
        total += static_cast<double>(c);
    }
    const EngineReport r = runUntilProbes(graph, 4096, 1, 40000);
    ASSERT_TRUE(r.estimated) << r.complete << " " << r.layers.size() << " " << r.probes;
    double estimated = 0;
    for (const Count256& c : r.spectrum) {
        estimated += toDouble(c);
    }
    EXPECT_NEAR(estimated / total, 1.0, 0.01);
}

}  // namespace
}  // namespace kvarlo::engine
