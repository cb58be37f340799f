// Solver control: the busy protocol, search and continue, stop, results taken on the window's
// thread, and the spectrum's shift.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "solver/brute_force.h"
#include "solver/control.h"
#include "solver/search_results.h"

// Allocations can be made to fail on every thread but the test's own (the window's), as the
// system refuses them under a memory limit. Replacing the global allocator is the one way to
// reach the allocations of the search's own threads; unarmed it only forwards to malloc.
namespace {
std::atomic<bool> refuseOffMain{false};
std::thread::id mainThread = std::this_thread::get_id();
}  // namespace

void* operator new(std::size_t bytes) {
    if (refuseOffMain.load(std::memory_order_relaxed) && std::this_thread::get_id() != mainThread) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) {
        return p;
    }
    throw std::bad_alloc();
}

// Not inlined: gcc would see free() meet a pointer from operator new and call it a mismatch.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}

[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace kvarlo {
namespace {

// Counts what the control asks of the window.
struct RecordingHost : SolverHost {
    int32_t beeps = 0;
    int32_t repaints = 0;
    int32_t ticksStarted = 0;
    int32_t ticksStopped = 0;
    void failureBeep() override { ++beeps; }
    void requestRepaint() override { ++repaints; }
    void startTicks(int32_t) override { ++ticksStarted; }
    void stopTicks() override { ++ticksStopped; }
};

struct Fixture : RecordingHost {
    Board board{7, 7};
    SolverResults results;
    std::unique_ptr<SolverControl> control;

    explicit Fixture(uint64_t memory = 256ull << 20) {
        engine::EngineOptions options;
        options.threads = 2;
        options.memoryBytes = memory;
        control = std::make_unique<SolverControl>(SolverContext{&board, &results}, *this, options);
    }

    // Plays the window's timer until the search has ended.
    void waitUntilIdle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (control->busy() != 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            control->tick();
        }
        ASSERT_EQ(control->busy(), 0);
    }

    // Starts a search anew on the full board less one slot, which runs far longer than a test.
    void startDeepSearch() {
        board = testing::fullBoardLessOne();
        searchAnew();
    }

    // Plays the window's timer until the search has reached depth one (a slow machine only
    // takes longer); false when it never does.
    bool waitForDepth() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (results.depth < 1 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            control->tick();
        }
        return results.depth >= 1;
    }

    // What "search anew" prepares.
    void searchAnew() {
        results.depth = 0;
        results.status = 0;
        control->searchAnew();
    }
};

Board smallFigure() {
    std::mt19937 rng(11);
    return testing::randomFigure(rng, 13);
}

TEST(SolverControlTest, CompleteSearchFillsTheRecord) {
    Fixture f;
    f.board = smallFigure();
    f.searchAnew();
    EXPECT_GE(f.control->busy(), 1);
    EXPECT_EQ(f.ticksStarted, 1);
    f.waitUntilIdle();
    EXPECT_EQ(f.ticksStopped, 1);
    EXPECT_GE(f.repaints, 2);
    EXPECT_FALSE(f.control->running());

    EXPECT_EQ(f.results.status, 2);
    EXPECT_EQ(f.results.auxCounter, 0);
    EXPECT_EQ(f.results.spectrumCount, 14);
    testing::BruteForce brute;
    const auto expected = brute.spectrum(f.board);
    int32_t best = -1;
    int32_t longest = 0;
    for (int32_t m = 0; m < f.results.spectrumCount; ++m) {
        EXPECT_EQ(static_cast<testing::Wide>(f.results.spectrum[m]), expected[m]) << m;
        if (expected[m] != 0) {
            best = best < 0 ? m : best;
            longest = std::max(longest, 13 - m);
        }
    }
    // depth - 1 is how many jumps deep the search is complete: the longest game.
    EXPECT_EQ(f.results.depth - 1, longest);
    EXPECT_GT(f.results.positionsExamined, 0);
    ASSERT_EQ(f.results.bestCount, 13 - best);
    Board replay(f.board);
    for (int32_t i = 0; i < f.results.bestCount; ++i) {
        ASSERT_TRUE(isLegalJump(replay, f.results.bestSolution[i]));
        testing::play(replay, f.results.bestSolution[i]);
    }
    EXPECT_EQ(replay.countMatches(), best);
}

TEST(SolverControlTest, StopRequestsAndTheBusyFlag) {
    Fixture f;
    f.control->requestStop();
    EXPECT_EQ(f.control->busy(), 0);  // dropped while idle, not remembered

    // A figure far too big to finish: the stop ends it with consistent, incomplete results.
    f.board = testing::fullBoardLessOne(testing::ref(24, 0));
    const Board before(f.board);
    f.searchAnew();
    EXPECT_EQ(f.control->busy(), 1);
    f.control->searchAnew();  // ignored while busy
    f.control->searchOn();
    ASSERT_TRUE(f.waitForDepth());
    f.control->requestStop();
    f.control->requestStop();
    EXPECT_EQ(f.control->busy(), 2);
    f.waitUntilIdle();
    EXPECT_EQ(f.results.status, 1);
    EXPECT_GE(f.results.depth, 1);
    EXPECT_EQ(f.results.spectrumCount, 90);
    EXPECT_EQ(f.ticksStarted, 1);
    EXPECT_EQ(f.ticksStopped, 1);
    // The search never touches the board.
    EXPECT_EQ(testing::positionKey(f.board), testing::positionKey(before));
}

TEST(SolverControlTest, ContinuingAfterAStopReachesTheSameResults) {
    Fixture reference;
    std::mt19937 rng(41);
    reference.board = testing::randomFigure(rng, 20, 2);
    reference.searchAnew();
    reference.waitUntilIdle();
    ASSERT_EQ(reference.results.status, 2);

    Fixture f;
    f.board = reference.board;
    f.searchAnew();
    f.control->requestStop();
    f.waitUntilIdle();
    const int32_t elapsed = f.results.elapsedMs;
    // "Search" keeps the depth and clears the status; the same position continues.
    for (int32_t round = 0; round < 50 && f.results.status != 2; ++round) {
        f.results.status = 0;
        f.control->searchOn();
        f.waitUntilIdle();
    }
    EXPECT_EQ(f.results.status, 2);
    EXPECT_GE(f.results.elapsedMs, elapsed);
    EXPECT_EQ(f.results.depth, reference.results.depth);
    EXPECT_EQ(f.results.spectrumCount, reference.results.spectrumCount);
    for (int32_t m = 0; m < f.results.spectrumCount; ++m) {
        EXPECT_EQ(f.results.spectrum[m], reference.results.spectrum[m]);
    }
}

// The time shown is this search's own: it runs on when the same position is searched further,
// and starts again when the position has changed.
TEST(SolverControlTest, ContinuingCountsTheTimeOfTheSameSearchOnly) {
    Fixture f;
    std::mt19937 rng(41);
    f.board = testing::randomFigure(rng, 20, 2);
    f.searchAnew();
    f.control->requestStop();
    f.waitUntilIdle();
    ASSERT_GE(f.results.depth, 1);
    // As if the run so far had taken an hour.
    constexpr int32_t earlier = 3600 * 1000;
    f.results.elapsedMs = earlier;
    f.control->searchOn();  // the same position goes on
    f.control->requestStop();
    f.waitUntilIdle();
    EXPECT_GE(f.results.elapsedMs, earlier);

    // Another figure, continued.
    f.board = smallFigure();
    f.results.elapsedMs = earlier;
    f.control->searchOn();
    EXPECT_GE(f.control->busy(), 1);
    f.waitUntilIdle();
    EXPECT_EQ(f.results.status, 2);
    EXPECT_GE(f.results.elapsedMs, 0);
    EXPECT_LT(f.results.elapsedMs, earlier);
}

// The window takes results until it sees the end. The search's last results and its end may
// both arrive while a take is half done; they must still reach the window.
TEST(ResultsHandOverTest, TheLastResultsArePostedBeforeTheEndIsSeen) {
    ResultsHandOver handOver;
    auto withStatus = [](int32_t status) {
        auto results = std::make_unique<SolverResults>();
        results->status = status;
        return results;
    };
    handOver.post(withStatus(1));
    int32_t takes = 0;
    handOver.betweenEndAndResults = [&] {
        if (++takes == 1) {
            handOver.postLast(withStatus(2));
        }
    };
    SolverResults shown;
    bool ended = false;
    for (int32_t tick = 0; tick < 4 && !ended; ++tick) {
        ResultsHandOver::Taken taken = handOver.take();
        ended = taken.ended;
        if (taken.results) {
            shown = *taken.results;
        }
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(shown.status, 2);
    EXPECT_EQ(takes, 2);

    // A new search starts with nothing staged and no end.
    handOver.reset();
    ResultsHandOver::Taken fresh = handOver.take();
    EXPECT_FALSE(fresh.ended);
    EXPECT_FALSE(fresh.results);
}

TEST(SolverControlTest, ClosingDuringASearchStopsAndJoins) {
    Fixture f;
    f.startDeepSearch();
    ASSERT_TRUE(f.waitForDepth());  // the worker is deep in the search
    f.control->shutdown();
    EXPECT_FALSE(f.control->running());
    EXPECT_EQ(f.control->busy(), 0);
}

// Memory refused on the search's threads, deep in a search, ends it as an incomplete search
// and never the program: the window's thread sees the end, busy goes back to 0, the ticks stop,
// and the results taken so far stay.
TEST(SolverControlTest, RefusedMemoryEndsTheSearchNotTheProgram) {
    Fixture f;
    f.startDeepSearch();
    ASSERT_TRUE(f.waitForDepth());
    refuseOffMain = true;
    f.waitUntilIdle();
    refuseOffMain = false;
    EXPECT_FALSE(f.control->running());
    EXPECT_EQ(f.ticksStopped, 1);
    EXPECT_EQ(f.results.status, 1);
    EXPECT_GE(f.results.depth, 1);
}

TEST(SpectrumStoreTest, ShiftsEveryCountAlikeOnlyWhenOneDoesNotFit) {
    using engine::Count256;
    int64_t out[5] = {};
    const Count256 big = Count256(static_cast<unsigned __int128>(1) << 70);
    const Count256 other = Count256((static_cast<unsigned __int128>(1) << 65) + 5);
    EXPECT_EQ(storeSpectrum({Count256{}, big, Count256(uint64_t{3}), Count256{}, other}, out, 5),
              8);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], int64_t{1} << 62);
    EXPECT_EQ(out[2], 1);  // 3 >> 8 is 0, but a class that occurs keeps a count
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(out[4], int64_t{1} << 57);

    const Count256 largest = Count256(uint64_t{INT64_MAX});
    EXPECT_EQ(storeSpectrum({largest, Count256(uint64_t{7})}, out, 2), 0);
    EXPECT_EQ(out[0], INT64_MAX);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(storeSpectrum({Count256(uint64_t{1} << 63)}, out, 1), 1);
    EXPECT_EQ(out[0], int64_t{1} << 62);
}

}  // namespace
}  // namespace kvarlo
