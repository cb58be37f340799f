// The engine: the exact layers first; when they no longer fit (and for a share of the work
// before each long layer), random probes that estimate the rest of the spectrum. The
// best-ending search runs beside both from the start.
#include "solver/engine/engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

namespace kvarlo::engine {

namespace {

uint64_t splitmix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A uniform double in [0, 1).
double uniform(uint64_t& state) {
    return static_cast<double>(splitmix(state) >> 11) * 0x1p-53;
}

// The nearest count to a non-negative estimate.
Count256 countFromDouble(double x) {
    Count256 r;
    x = std::nearbyint(std::max(0.0, x));
    for (int32_t i = 3; i >= 0; --i) {
        const double unit = std::ldexp(1.0, 64 * i);
        const double chunk = std::floor(x / unit);
        if (chunk >= 0x1p64) {
            return Count256{};  // beyond 256 bits: no meaningful count
        }
        r.w[i] = static_cast<uint64_t>(chunk);
        x -= chunk * unit;
    }
    return r;
}

void countKnownEnding(EngineReport& r) {
    // The probes estimate how many games end in each class; one that no probe reached rounds
    // to nothing, even where the best-ending search holds a game that ends there. A class
    // counts at least the games known to end in it, so the spectrum's lowest class is the
    // best found, never a worse one.
    if (!r.complete && r.best != noResult && r.best < static_cast<int32_t>(r.spectrum.size()) &&
        r.spectrum[r.best].isZero()) {
        r.spectrum[r.best] = Count256{uint64_t{1}};
    }
}

}  // namespace

int32_t hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int32_t>(std::min(n, 64u));
}

SearchEngine::SearchEngine(JumpGraph graph, const EngineOptions& options)
    : graph_(std::move(graph)),
      options_(options),
      threads_(options.threads > 0 ? options.threads : hardwareThreads()),
      // The layers' threads beside this one, and the best-ending search's.
      budget_(options.memoryBytes ? options.memoryBytes : defaultMemoryBudget(threads_)),
      rng_(options.seed) {
    // The best-ending search takes its share first, so the layers always get the same rest
    // of the budget and their results never depend on it.
    best_ = std::make_unique<SplitBestSearch>(graph_, budget_, BestSearch::share(budget_.limit()),
                                              options.useSymmetry);
    layers_ = std::make_unique<LayeredSearch>(graph_, budget_, threads_, options.useSymmetry);
    belowBest_ = std::make_unique<BelowBest>(graph_);
    publish();
}

SearchEngine::~SearchEngine() = default;

bool SearchEngine::complete() const {
    std::lock_guard<std::mutex> guard(lock_);
    return report_.complete;
}

EngineReport SearchEngine::report() const {
    std::lock_guard<std::mutex> guard(lock_);
    return report_;
}

void SearchEngine::run(const std::function<bool()>& shouldStop,
                       const std::function<void()>& onProgress) {
    runStarted_ = std::chrono::steady_clock::now();
    runStartedMs_ = elapsedBefore_;
    memoryRefused_ = false;
    // The best-ending search runs beside everything else until this run ends.
    std::atomic<bool> stopBest{false};
    std::thread bestThread;
    if (!layers_->finished() && !best_->finished()) {
        bestThread = startBestSearch(stopBest);
    }
    std::thread refuteThread = bestThread.joinable() ? startRefutation(stopBest) : std::thread();
    // A refusal on the best-ending search's thread ends the rest at the next look for a stop.
    const auto stop = [&] { return memoryRefused_.load() || (shouldStop && shouldStop()); };
    try {
        runPhases(stop, onProgress);
    } catch (const std::bad_alloc&) {
        memoryRefused_ = true;
    }
    stopBest = true;
    if (bestThread.joinable()) {
        bestThread.join();
    }
    if (refuteThread.joinable()) {
        refuteThread.join();
    }
    elapsedBefore_ += std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - runStarted_)
                          .count();
    try {
        publish();
        if (onProgress) {
            onProgress();
        }
    } catch (const std::bad_alloc&) {
        // The report of the last publish stands, marked as the memory stop it is.
        std::lock_guard<std::mutex> guard(lock_);
        report_.memoryRefused = true;
    }
}

std::thread SearchEngine::startBestSearch(const std::atomic<bool>& stop) {
    try {
        return std::thread([this, &stop] {
            try {
                best_->run(stop);
            } catch (const std::bad_alloc&) {
                memoryRefused_ = true;
            }
        });
    } catch (...) {
        return {};
    }
}

std::thread SearchEngine::startRefutation(const std::atomic<bool>& stop) {
    try {
        return std::thread([this, &stop] {
            try {
                // Its table comes out of what the layers left, and shrinks to nothing when
                // they left nothing: the search is then slower, never wrong.
                const ChargedShare share(budget_, BestSearch::share(budget_.limit()) / 2);
                // 5 s: every best of the collection's dense figures comes sooner, and a search
                // beside the beams that find it would only slow them down.
                belowBest_->run([this] { return best_->result(); }, 500, share.bytes(),
                                options_.useSymmetry, stop);
            } catch (const std::bad_alloc&) {
                memoryRefused_ = true;
            }
        });
    } catch (...) {
        return {};
    }
}

void SearchEngine::runPhases(const std::function<bool()>& shouldStop,
                             const std::function<void()>& onProgress) {
    auto notify = [&] {
        if (onProgress) {
            onProgress();
        }
    };
    while (!exactStopped_ && !layers_->finished()) {
        lookAhead(shouldStop, onProgress);
        if (shouldStop && shouldStop()) {
            return;
        }
        const ExpandResult r = layers_->expandNext([&] {
            {
                std::lock_guard<std::mutex> guard(lock_);
                report_.progressDone = layers_->progressDone();
                report_.progressTotal = layers_->progressTotal();
                report_.jumpsGenerated = layers_->jumpsGenerated();
                report_.peakBytes = budget_.peak();
                foldBest(report_);
            }
            notify();
            return shouldStop && shouldStop();
        });
        if (r == ExpandResult::OutOfMemory) {
            exactStopped_ = true;
        }
        if (r == ExpandResult::Expanded || r == ExpandResult::Finished) {
            forgetProbes();
        }
        publish();
        notify();
        if (r == ExpandResult::Stopped) {
            return;
        }
    }
    if (exactStopped_) {
        runRounds(UINT64_MAX, shouldStop, onProgress);
    }
}

void SearchEngine::startIncomplete() {
    if (probeSums_.empty()) {
        probeSums_.assign(graph_.startMatches() + 1, 0.0);
    }
}

void SearchEngine::forgetProbes() {
    probeSums_.assign(probeSums_.size(), 0.0);
    probes_ = 0;
    layerWeight_ = -1;
    probeStarts_.clear();
}

void SearchEngine::incompleteRound(const std::function<bool()>& shouldStop) {
    probeBatch(256, shouldStop);
    publish();
}

void SearchEngine::runRounds(uint64_t rounds, const std::function<bool()>& shouldStop,
                             const std::function<void()>& onProgress) {
    startIncomplete();
    auto last = std::chrono::steady_clock::now();
    for (uint64_t i = 0; i < rounds && !(shouldStop && shouldStop()); ++i) {
        incompleteRound(shouldStop);
        const auto now = std::chrono::steady_clock::now();
        if (onProgress && now - last >= std::chrono::milliseconds(50)) {
            last = now;
            onProgress();
        }
    }
    if (onProgress) {
        onProgress();
    }
}

void SearchEngine::lookAhead(const std::function<bool()>& shouldStop,
                             const std::function<void()>& onProgress) {
    // The next layer's size, guessed from the last growth.
    const std::vector<uint64_t>& sizes = layers_->layerSizes();
    if (sizes.size() < 2) {
        return;
    }
    const double growth =
        static_cast<double>(sizes.back()) / static_cast<double>(sizes[sizes.size() - 2]);
    const double expected = static_cast<double>(sizes.back()) * growth;
    if (expected < static_cast<double>(options_.lookAheadPositions)) {
        return;
    }
    // A round takes about as long as expanding 20 000 to 30 000 positions of a dense figure
    // on two threads: one round per 250 000 positions is about a tenth of the layer's time.
    // Counted in rounds, not seconds, so the same seed gives the same estimates.
    runRounds(static_cast<uint64_t>(expected / 250'000.0) + 1, shouldStop, onProgress);
}

namespace {
// Children a round of probes examines: about 20 ms of work.
constexpr uint64_t probeWork = 80'000;
}  // namespace

// Each probe is a stratified sample (Chen's method) of the games below its start, which
// stands for the whole layer (weight `total`). Level by level, the children of the positions
// kept are sorted into strata by how many jumps they have; one child per stratum goes on,
// drawn in proportion to the weights, carrying the stratum's whole weight. Every child's weight
// is its parent's (each path counts), a dead end adds its weight to the spectrum. The sums are
// unbiased, as with Knuth's single random walk, and spread less (measured: 0.014 against 0.065
// relative spread on a figure of 4.5 · 10^12 games), since the positions kept stand for every
// kind of position met, not for one path.
struct SearchEngine::ProbeScratch {
    struct Stratum {
        Bits kept;
        double weight = 0;
    };
    explicit ProbeScratch(size_t jumpCount)
        : strata(jumpCount + 1), legal(jumpCount + 1), childLegal(jumpCount + 1) {}
    std::vector<Stratum> strata;  // by the number of legal jumps of the child
    std::vector<int32_t> used;    // the strata that received a child on this level
    std::vector<std::pair<Bits, double>> level;
    std::vector<std::pair<Bits, double>> nextLevel;
    std::vector<int32_t> legal;
    std::vector<int32_t> childLegal;
};

void SearchEngine::probeBatch(uint32_t probes, const std::function<bool()>& shouldStop) {
    if (!knowLayerWeight(shouldStop) || layerWeight_ <= 0 || !drawProbeStarts(shouldStop)) {
        return;
    }
    ProbeScratch scratch(graph_.jumps.size());
    // A probe of a large figure examines tens of thousands of children: the round ends after
    // `probeWork` of them (counted, not timed, so the same seed gives the same estimates).
    uint64_t work = 0;
    uint32_t done = 0;
    while (done < probes && work < probeWork && !probeStarts_.empty()) {
        const Bits start = probeStarts_.back();
        probeStarts_.pop_back();
        ++done;
        work += probeFrom(start, scratch);
    }
    probes_ += done;
}

bool SearchEngine::knowLayerWeight(const std::function<bool()>& shouldStop) {
    if (layerWeight_ >= 0) {
        return true;
    }
    double total = 0;
    if (!layers_->forEachInLastLayer([&](Bits, const Count256& c) { total += toDouble(c); },
                                     shouldStop)) {
        return false;
    }
    layerWeight_ = total;
    return true;
}

bool SearchEngine::drawProbeStarts(const std::function<bool()>& shouldStop) {
    // Starting points are drawn from the last complete layer in proportion to their path
    // counts, by one pass over the layer with sorted random marks. A pass over a large layer
    // is slow, so each draws many starts at once and the rounds use them up.
    constexpr uint32_t startsPerPass = 1 << 16;
    if (!probeStarts_.empty()) {
        return true;
    }
    std::vector<double> marks(startsPerPass);
    for (double& m : marks) {
        m = uniform(rng_) * layerWeight_;
    }
    std::sort(marks.begin(), marks.end());
    std::vector<Bits> drawn;
    drawn.reserve(startsPerPass);
    double prefix = 0;
    size_t next = 0;
    const bool whole = layers_->forEachInLastLayer(
        [&](Bits p, const Count256& c) {
            prefix += toDouble(c);
            while (next < marks.size() && marks[next] < prefix) {
                drawn.push_back(p);
                ++next;
            }
        },
        shouldStop);
    if (!whole) {
        return false;  // stopped half way: the marks are drawn again next time
    }
    // The pass visits the layer in order; the rounds take the starts in random order so
    // that any prefix of them is an unbiased sample too.
    for (size_t i = drawn.size(); i > 1; --i) {
        std::swap(drawn[i - 1], drawn[splitmix(rng_) % i]);
    }
    probeStarts_.insert(probeStarts_.begin(), drawn.begin(), drawn.end());
    return true;
}

uint64_t SearchEngine::probeFrom(Bits start, ProbeScratch& s) {
    uint64_t work = 0;
    s.level.assign(1, {start, layerWeight_});
    while (!s.level.empty()) {
        s.used.clear();
        for (const auto& [q, w] : s.level) {
            const int32_t n = layers_->legalJumpsOf(q, s.legal.data());
            if (n == 0) {
                probeSums_[q.count() + graph_.fixedMatches] += w;
                continue;
            }
            for (int32_t i = 0; i < n; ++i) {
                const Bits child = afterJump(q, graph_.jumps[s.legal[i]]);
                const int32_t t = layers_->legalJumpsOf(child, s.childLegal.data());
                ProbeScratch::Stratum& stratum = s.strata[t];
                if (stratum.weight == 0) {
                    s.used.push_back(t);
                }
                stratum.weight += w;
                if (uniform(rng_) * stratum.weight < w) {
                    stratum.kept = child;
                }
                ++probeJumps_;
            }
            work += n;
        }
        s.nextLevel.clear();
        for (int32_t t : s.used) {
            s.nextLevel.emplace_back(s.strata[t].kept, s.strata[t].weight);
            s.strata[t].weight = 0;
        }
        s.level.swap(s.nextLevel);
    }
    return work;
}

void SearchEngine::publish() {
    EngineReport r;
    r.complete = layers_->finished();
    r.completedLayers = layers_->lastLayer();
    r.layers = layers_->layerSizes();
    r.exactSpectrum = layers_->spectrum();
    r.spectrum = r.exactSpectrum;
    r.jumpsGenerated = layers_->jumpsGenerated() + probeJumps_;
    r.progressDone = layers_->progressDone();
    r.progressTotal = layers_->progressTotal();
    r.peakBytes = budget_.peak();
    r.probes = probes_;
    r.layersFull = exactStopped_;
    r.memoryRefused = memoryRefused_ || budget_.systemRefused();
    r.budgetBytes = budget_.limit();
    if (!r.complete && probes_ > 0) {
        r.estimated = true;
        r.progressDone = r.progressTotal = probes_;
        for (size_t m = 0; m < r.spectrum.size(); ++m) {
            addCount(r.spectrum[m], countFromDouble(probeSums_[m] / static_cast<double>(probes_)));
        }
    }

    // The best result: the exact layers' fewest matches, or the best-ending search's when it
    // found fewer (see foldBest).
    int32_t exactBest = noResult;
    for (size_t m = 0; m < r.exactSpectrum.size(); ++m) {
        if (!r.exactSpectrum[m].isZero()) {
            exactBest = static_cast<int32_t>(m);
            break;
        }
    }
    if (exactBest != noResult && exactBest != layeredBest_) {
        if (auto seq = layers_->sequenceTo(exactBest)) {
            layeredBest_ = exactBest;
            layeredSequence_ = std::move(*seq);
        }
    }
    if (exactBest != noResult && exactBest == layeredBest_) {
        r.best = exactBest;
        r.bestSequence = layeredSequence_;
    }
    foldBest(r);
    if (r.best != noResult && r.bestSequence.empty() && r.best != graph_.startMatches()) {
        r.best = noResult;  // never publish a result without the sequence that proves it
    }
    std::lock_guard<std::mutex> guard(lock_);
    report_ = std::move(r);
}

void SearchEngine::foldBest(EngineReport& r) {
    // Fewer matches than the layers' own best come from the best-ending search (never once
    // the layers are complete: then theirs, the same on every run).
    BestEnding found = best_->result();
    found.lowest = std::max(found.lowest, belowBest_->lowest());
    // The refutation search's endings are real games from the start as well.
    if (const BestEnding below = belowBest_->found();
        below.best != noResult && (found.best == noResult || below.best < found.best)) {
        found.best = below.best;
        found.jumps = below.jumps;
        found.foundAt = below.foundAt;
    }
    const bool fromSearch =
        !r.complete && found.best != noResult && (r.best == noResult || found.best < r.best);
    if (fromSearch) {
        r.best = found.best;
        r.bestSequence = found.jumps;
    }
    // Once complete, the exact search's own count: the same on every run.
    r.jumpsGenerated =
        layers_->jumpsGenerated() + probeJumps_ + (r.complete ? 0 : found.jumpsGenerated);
    // Proven by the complete layers, or by a lower bound the ending reaches (the bounds of the
    // start, or the best-ending search searched through below it).
    r.bestProven = r.complete || (r.best != noResult && r.best <= found.lowest);
    if (r.best != noResult && r.best != shownBest_) {
        shownBest_ = r.best;
        const auto at = fromSearch ? found.foundAt : std::chrono::steady_clock::now();
        // Counted from this run's start: the last publish comes after elapsedBefore_ took in
        // the whole run, and would count it twice.
        shownBestMs_ =
            runStartedMs_ +
            std::max<int64_t>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(at - runStarted_).count());
    }
    r.bestFoundMs = r.best != noResult ? shownBestMs_ : -1;
    countKnownEnding(r);
}

}  // namespace kvarlo::engine
