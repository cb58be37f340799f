// The search engine: exact layers while they fit in the memory budget, then an incomplete
// phase (random probes for the rest of the spectrum), which also runs for a while before each
// long layer. Beside them from the start, on a thread of its own, the best-ending search. One
// engine belongs to one jump graph; running it again continues where it stopped.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "solver/engine/best.h"
#include "solver/engine/budget.h"
#include "solver/engine/count.h"
#include "solver/engine/graph.h"
#include "solver/engine/layers.h"
#include "solver/engine/memory_limits.h"
#include "solver/engine/refute.h"
#include "solver/engine/split_best.h"

namespace kvarlo::engine {

struct EngineOptions {
    int32_t threads = 0;       // 0: one per hardware thread
    uint64_t memoryBytes = 0;  // 0: defaultMemoryBudget(), half of what the system allows
    bool useSymmetry = true;
    uint64_t seed = 1;  // the incomplete phase's random probes
    // Before a layer expected to hold at least this many positions (a long one), the
    // incomplete phase runs for a share of that layer's work, so a figure too large for the
    // exact search has estimates early on.
    uint64_t lookAheadPositions = 2'000'000;
};

// One consistent view of the search.
struct EngineReport {
    bool complete = false;         // every layer expanded: every count exact
    int32_t completedLayers = 0;   // layers 0 .. completedLayers are built
    std::vector<uint64_t> layers;  // canonical positions per built layer
    // Complete games ending with m matches. Exact when `complete`; otherwise the exact games
    // of the expanded layers plus, where `estimated`, the rounded estimate for the rest, and
    // never less than the games known to end there: the best found's class counts at least
    // its one game, however rarely the probes reach it.
    std::vector<Count256> spectrum;
    std::vector<Count256> exactSpectrum;  // the exact part alone
    bool estimated = false;
    bool layersFull = false;  // the next layer did not fit: the search goes on incomplete
    // The system refused memory the budget had room for (a limit of the system lies below the
    // budget): a layer's block (the layers then go on incomplete, as when the budget is used
    // up), or anything else (a memory stop: the run ended there, the results so far kept).
    bool memoryRefused = false;
    uint64_t budgetBytes = 0;  // the memory budget
    int32_t best = noResult;   // fewest matches reached at the end of a game, when one is known
    bool bestProven = false;
    int64_t bestFoundMs = -1;        // engine time (over all runs) when `best` was first reached
    std::vector<Jump> bestSequence;  // from the graph's start to a dead end with `best` matches
    uint64_t jumpsGenerated = 0;
    uint64_t progressDone = 0;
    uint64_t progressTotal = 0;
    uint64_t probes = 0;
    uint64_t peakBytes = 0;
};

class SearchEngine {
public:
    SearchEngine(JumpGraph graph, const EngineOptions& options);
    ~SearchEngine();
    SearchEngine(const SearchEngine&) = delete;
    SearchEngine& operator=(const SearchEngine&) = delete;

    // Searches until the search is complete or `shouldStop` returns true (asked about every
    // 50 ms; a stop is honoured within about that time). `onProgress` is called after every
    // change of the report, on the calling thread. Memory the system refuses (std::bad_alloc,
    // on any of the search's threads, the callbacks' included) ends the run as a memory stop
    // (see EngineReport::memoryRefused); a later run tries again.
    void run(const std::function<bool()>& shouldStop, const std::function<void()>& onProgress);

    // A copy of the report; safe from any thread.
    EngineReport report() const;
    bool complete() const;
    const JumpGraph& graph() const { return graph_; }

private:
    // The layers, then the incomplete phase, until complete or stopped.
    void runPhases(const std::function<bool()>& shouldStop,
                   const std::function<void()>& onProgress);
    void publish();
    // The best-ending search on a thread of its own; none when the system will not start one
    // (the layers go on without it).
    std::thread startBestSearch(const std::atomic<bool>& stop);
    // The search for an ending below its best, beside it (see BelowBest); none likewise.
    std::thread startRefutation(const std::atomic<bool>& stop);
    // Takes the best-ending search's result into a report: a better best, the proof.
    void foldBest(EngineReport& r);
    // Rounds of the incomplete phase until `rounds` are done or a stop is asked for, with a
    // progress call about every 50 ms and one at the end.
    void runRounds(uint64_t rounds, const std::function<bool()>& shouldStop,
                   const std::function<void()>& onProgress);
    // The incomplete phase's rounds before a long layer (see lookAheadPositions).
    void lookAhead(const std::function<bool()>& shouldStop,
                   const std::function<void()>& onProgress);
    void startIncomplete();
    // One round of the incomplete phase: a batch of probes, a fresh report. A fixed amount of
    // work, so a stop decided on the report's numbers comes at the same point on every run
    // with the same seed.
    void incompleteRound(const std::function<bool()>& shouldStop);
    // The probes belong to the last layer: a new one starts them afresh.
    void forgetProbes();
    // Up to `probes` probes from the drawn starts, within a fixed amount of work.
    void probeBatch(uint32_t probes, const std::function<bool()>& shouldStop);
    // The sum of the last layer's counts, taken once per layer; false when stopped first.
    bool knowLayerWeight(const std::function<bool()>& shouldStop);
    // Refills the probes' starting points when they are used up; false when stopped first.
    bool drawProbeStarts(const std::function<bool()>& shouldStop);
    // The vectors a probe works in, reused by the probes of a batch.
    struct ProbeScratch;
    // One probe from a start in the last layer, its dead ends added to the sums; returns the
    // children it examined.
    uint64_t probeFrom(Bits start, ProbeScratch& scratch);

    JumpGraph graph_;
    EngineOptions options_;
    int32_t threads_ = 1;
    MemoryBudget budget_;
    std::unique_ptr<LayeredSearch> layers_;
    bool exactStopped_ = false;               // the layers no longer fit: the rest is incomplete
    std::atomic<bool> memoryRefused_{false};  // in this run (see EngineReport::memoryRefused)

    std::unique_ptr<SplitBestSearch> best_;  // one search per independent part
    std::unique_ptr<BelowBest> belowBest_;   // proofs that its best is the best
    // The best shown in the report and the engine time when it first was.
    int32_t shownBest_ = -1;
    int64_t shownBestMs_ = -1;
    std::chrono::steady_clock::time_point runStarted_ = std::chrono::steady_clock::now();
    int64_t elapsedBefore_ = 0;  // ms of earlier runs
    int64_t runStartedMs_ = 0;   // elapsedBefore_ when the current (or last) run started

    // Incomplete phase.
    std::vector<double> probeSums_;
    uint64_t probes_ = 0;
    uint64_t probeJumps_ = 0;        // jumps the probes made
    double layerWeight_ = -1;        // sum of the last layer's counts; -1 until known
    std::vector<Bits> probeStarts_;  // drawn in one pass over the layer, used up in rounds
    uint64_t rng_;
    // The best sequence the layers gave, kept so the report does not rebuild it every time,
    // and preferred once the search is complete (the same whatever the best-ending search did).
    int32_t layeredBest_ = noResult;
    std::vector<Jump> layeredSequence_;

    mutable std::mutex lock_;
    EngineReport report_;
};

int32_t hardwareThreads();

}  // namespace kvarlo::engine
