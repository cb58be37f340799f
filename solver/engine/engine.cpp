// The engine: the exact layers first; when they no longer fit (and for a share of the work
// before each long layer), a depth-first search for the best result and random probes that
// estimate the rest of the spectrum.
#include "solver/engine/engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
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
double uniform(uint64_t& state) { return static_cast<double>(splitmix(state) >> 11) * 0x1p-53; }

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

}  // namespace

int32_t hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int32_t>(std::min(n, 64u));
}

// The incomplete phase's depth-first search for the fewest matches. Its table remembers, for
// canonical positions whose subtree has been searched through, the fewest matches reachable
// from them; losing an entry to replacement costs time, never correctness.
struct SearchEngine::Dfs {
    struct Frame {
        Bits position;
        uint32_t movesBegin;  // into `moves`
        uint32_t movesEnd;
        uint32_t next;
        uint8_t fewest;  // fewest matches found below this frame so far
    };
    struct TableEntry {
        Bits position;  // canonical; empty = unused
        uint64_t fewest;
    };

    std::vector<Frame> stack;
    std::vector<int16_t> moves;
    std::vector<Jump> path;
    TableEntry* table = nullptr;
    uint64_t tableSize = 0;  // a power of two, or 0
    int32_t best = 255;      // fewest graph matches at a dead end so far
    std::vector<Jump> bestPath;
    bool done = false;      // searched through, or a one-match ending found
    uint64_t jumps = 0;
    std::vector<int32_t> weight;  // per slot: jumps it takes part in (central slots: more)
};

SearchEngine::SearchEngine(JumpGraph graph, const EngineOptions& options)
    : graph_(std::move(graph)),
      options_(options),
      budget_(options.memoryBytes ? options.memoryBytes : defaultMemoryBudget()),
      rng_(options.seed) {
    threads_ = options.threads > 0 ? options.threads : hardwareThreads();
    layers_ = std::make_unique<LayeredSearch>(graph_, budget_, threads_, options.useSymmetry);
    publish();
}

SearchEngine::~SearchEngine() {
    if (dfs_ && dfs_->table) {
        budget_.free(dfs_->table, dfs_->tableSize * sizeof(Dfs::TableEntry));
    }
}

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
    if (dfs_) {
        return;
    }
    dfs_ = std::make_unique<Dfs>();
    Dfs& d = *dfs_;
    d.weight.assign(graph_.slotCount, 0);
    for (const Jump& j : graph_.jumps) {
        ++d.weight[j.from];
        ++d.weight[j.over];
        ++d.weight[j.to];
    }
    // The table takes what the budget still allows, at most 64 MiB.
    const uint64_t room = budget_.limit() - std::min(budget_.limit(), budget_.used());
    uint64_t size = uint64_t{1} << 22;
    while (size > 0 && size * sizeof(Dfs::TableEntry) > room / 2) {
        size >>= 1;
    }
    if (size >= 1024) {
        d.table = static_cast<Dfs::TableEntry*>(budget_.allocate(size * sizeof(Dfs::TableEntry)));
        if (d.table) {
            std::memset(static_cast<void*>(d.table), 0, size * sizeof(Dfs::TableEntry));
            d.tableSize = size;
        }
    }
    // The root frame is pushed by the first slice.
    probeSums_.assign(graph_.startMatches() + 1, 0.0);
}

void SearchEngine::forgetProbes() {
    probeSums_.assign(probeSums_.size(), 0.0);
    probes_ = 0;
    layerWeight_ = -1;
    probeStarts_.clear();
}

void SearchEngine::incompleteRound(const std::function<bool()>& shouldStop) {
    // The depth-first search and the probes share nothing but the layers, which both only
    // read: given a second thread, the search's slice runs beside the probes.
    if (dfs_->done) {
        probeBatch(256, shouldStop);
    } else if (threads_ > 1) {
        std::thread slice([this] { dfsSliceStep(); });
        probeBatch(256, shouldStop);
        slice.join();
    } else {
        dfsSliceStep();
        probeBatch(256, shouldStop);
    }
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

bool SearchEngine::dfsSliceStep() {
    Dfs& d = *dfs_;
    const int32_t lowest = graph_.start.empty() ? 0 : 1;
    auto pushFrame = [&](Bits p) {
        Dfs::Frame f{p, static_cast<uint32_t>(d.moves.size()), 0, 0, 255};
        for (size_t j = 0; j < graph_.jumps.size(); ++j) {
            const Jump& jump = graph_.jumps[j];
            if (p.test(jump.from) && p.test(jump.over) && !p.test(jump.to)) {
                d.moves.push_back(static_cast<int16_t>(j));
            }
        }
        f.movesEnd = static_cast<uint32_t>(d.moves.size());
        // Matches drawn towards the middle keep together: try those jumps first.
        std::sort(d.moves.begin() + f.movesBegin, d.moves.end(), [&](int16_t a, int16_t b) {
            const Jump& x = graph_.jumps[a];
            const Jump& y = graph_.jumps[b];
            return d.weight[x.to] - d.weight[x.from] > d.weight[y.to] - d.weight[y.from];
        });
        d.stack.push_back(f);
    };
    auto lookup = [&](Bits canon, uint64_t& fewest) {
        if (d.tableSize == 0) {
            return false;
        }
        const Dfs::TableEntry& e = d.table[hashBits(canon) & (d.tableSize - 1)];
        if (e.position == canon) {
            fewest = e.fewest;
            return true;
        }
        return false;
    };
    auto store = [&](Bits canon, uint64_t fewest) {
        if (d.tableSize != 0) {
            d.table[hashBits(canon) & (d.tableSize - 1)] = Dfs::TableEntry{canon, fewest};
        }
    };
    if (d.stack.empty() && !d.done) {
        pushFrame(graph_.start);
    }
    for (uint64_t step = 0; step < dfsSlice && !d.stack.empty(); ++step) {
        Dfs::Frame& f = d.stack.back();
        if (f.next < f.movesEnd - f.movesBegin) {
            const int16_t j = d.moves[f.movesBegin + f.next++];
            const Jump& jump = graph_.jumps[j];
            const Bits child = f.position ^ Bits::bit(jump.from) ^ Bits::bit(jump.over) ^
                               Bits::bit(jump.to);
            ++d.jumps;
            uint64_t known = 0;
            if (lookup(layers_->canonical(child), known)) {
                f.fewest = static_cast<uint8_t>(std::min<uint64_t>(f.fewest, known));
                continue;
            }
            d.path.push_back(jump);
            pushFrame(child);
            continue;
        }
        // Every jump from here is searched through.
        uint8_t fewest = f.fewest;
        if (f.movesEnd == f.movesBegin) {
            fewest = static_cast<uint8_t>(f.position.count());
            if (fewest < d.best) {
                d.best = fewest;
                d.bestPath = d.path;
            }
        }
        store(layers_->canonical(f.position), fewest);
        d.moves.resize(f.movesBegin);
        d.stack.pop_back();
        if (!d.path.empty()) {
            d.path.pop_back();
        }
        if (!d.stack.empty()) {
            d.stack.back().fewest = std::min(d.stack.back().fewest, fewest);
        }
        if (d.best <= lowest) {
            break;  // nothing can end with fewer: proven
        }
    }
    if (d.stack.empty() || d.best <= lowest) {
        d.done = true;
    }
    return d.done;
}

namespace {
// Children a round of probes examines: about 20 ms of work.
constexpr uint64_t probeWork = 80'000;
}  // namespace

void SearchEngine::probeBatch(uint32_t probes, const std::function<bool()>& shouldStop) {
    // Starting points are drawn from the last complete layer in proportion to their path
    // counts, by one pass over the layer with sorted random marks. A pass over a large layer
    // is slow, so each draws many starts at once and the rounds use them up.
    constexpr uint32_t startsPerPass = 1 << 16;
    if (layerWeight_ < 0) {
        double total = 0;
        if (!layers_->forEachInLastLayer([&](Bits, const Count256& c) { total += toDouble(c); },
                                         shouldStop)) {
            return;
        }
        layerWeight_ = total;
    }
    const double total = layerWeight_;
    if (total <= 0) {
        return;
    }
    if (probeStarts_.empty()) {
        std::vector<double> marks(startsPerPass);
        for (double& m : marks) {
            m = uniform(rng_) * total;
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
            return;  // stopped half way: the marks are drawn again next time
        }
        // The pass visits the layer in order; the rounds take the starts in random order so
        // that any prefix of them is an unbiased sample too.
        for (size_t i = drawn.size(); i > 1; --i) {
            std::swap(drawn[i - 1], drawn[splitmix(rng_) % i]);
        }
        probeStarts_.insert(probeStarts_.begin(), drawn.begin(), drawn.end());
    }
    // Each probe is a stratified sample (Chen's method) of the games below its start, which
    // stands for the whole layer (weight `total`). Level by level, the children of the
    // positions kept are sorted into strata by how many jumps they have; one child per stratum
    // goes on, drawn in proportion to the weights, carrying the stratum's whole weight. Every
    // child's weight is its parent's (each path counts), a dead end adds its weight to the
    // spectrum. The sums are unbiased, as with Knuth's single random walk, and spread less
    // (measured: 0.014 against 0.065 relative spread on a figure of 4.5 · 10^12 games), since
    // the positions kept stand for every kind of position met, not for one path.
    struct Stratum {
        Bits kept;
        double weight = 0;
    };
    const size_t jumpCount = graph_.jumps.size();
    std::vector<Stratum> strata(jumpCount + 1);
    std::vector<int32_t> used;
    std::vector<std::pair<Bits, double>> level;
    std::vector<std::pair<Bits, double>> nextLevel;
    std::vector<int32_t> legal(jumpCount + 1);
    std::vector<int32_t> childLegal(jumpCount + 1);
    // A probe of a large figure examines tens of thousands of children: the round ends after
    // `probeWork` of them (counted, not timed, so the same seed gives the same estimates).
    uint64_t work = 0;
    uint32_t done = 0;
    while (done < probes && work < probeWork && !probeStarts_.empty()) {
        const Bits start = probeStarts_.back();
        probeStarts_.pop_back();
        ++done;
        level.assign(1, {start, total});
        while (!level.empty()) {
            used.clear();
            for (const auto& [q, w] : level) {
                const int32_t n = layers_->legalJumpsOf(q, legal.data());
                if (n == 0) {
                    probeSums_[q.count() + graph_.fixedMatches] += w;
                    continue;
                }
                for (int32_t i = 0; i < n; ++i) {
                    const Bits child = afterJump(q, graph_.jumps[legal[i]]);
                    Stratum& s = strata[layers_->legalJumpsOf(child, childLegal.data())];
                    if (s.weight == 0) {
                        used.push_back(static_cast<int32_t>(&s - strata.data()));
                    }
                    s.weight += w;
                    if (uniform(rng_) * s.weight < w) {
                        s.kept = child;
                    }
                    ++probeJumps_;
                }
                work += n;
            }
            nextLevel.clear();
            for (int32_t t : used) {
                nextLevel.emplace_back(strata[t].kept, strata[t].weight);
                strata[t].weight = 0;
            }
            level.swap(nextLevel);
        }
    }
    probes_ += done;
}

void SearchEngine::publish() {
    EngineReport r;
    r.complete = layers_->finished();
    r.completedLayers = layers_->lastLayer();
    r.layers = layers_->layerSizes();
    r.exactSpectrum = layers_->spectrum();
    r.spectrum = r.exactSpectrum;
    r.jumpsGenerated = layers_->jumpsGenerated() + (dfs_ ? dfs_->jumps : 0) + probeJumps_;
    r.progressDone = layers_->progressDone();
    r.progressTotal = layers_->progressTotal();
    r.peakBytes = budget_.peak();
    r.probes = probes_;
    r.layersFull = exactStopped_;
    if (!r.complete && probes_ > 0) {
        r.estimated = true;
        r.progressDone = r.progressTotal = probes_;
        for (size_t m = 0; m < r.spectrum.size(); ++m) {
            addCount(r.spectrum[m], countFromDouble(probeSums_[m] / static_cast<double>(probes_)));
        }
    }

    // The best result: the exact layers' fewest matches, or the depth-first search's when it
    // found fewer (never once the search is complete: then the layers' sequence, the same on
    // every run).
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
    if (!r.complete && dfs_ && dfs_->best < 255 &&
        (r.best == noResult || dfs_->best + graph_.fixedMatches < r.best)) {
        r.best = dfs_->best + graph_.fixedMatches;
        r.bestSequence = dfs_->bestPath;
    }
    const int32_t lowest = graph_.fixedMatches + (graph_.start.empty() ? 0 : 1);
    r.bestProven = r.complete || (r.best != noResult && r.best <= lowest) ||
                   (dfs_ && dfs_->done && dfs_->stack.empty());
    if (r.best != noResult && r.bestSequence.empty() && r.best != graph_.startMatches()) {
        r.best = noResult;  // never publish a result without the sequence that proves it
    }
    std::lock_guard<std::mutex> guard(lock_);
    report_ = std::move(r);
}

}  // namespace kvarlo::engine
