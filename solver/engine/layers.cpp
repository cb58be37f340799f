// The layered search: expanding a layer in parallel into sharded hash tables, finishing the new
// layer as shards in a fixed order.
#include "solver/engine/layers.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>

#include "solver/engine/layer_storage.h"
#include "solver/engine/shard_table.h"
#include "solver/engine/threads.h"

namespace kvarlo::engine {

namespace {

// Positions handed to one worker at a time: small enough for a prompt stop and fair sharing.
constexpr uint64_t chunkPositions = 2048;
// Positions between two looks for a stop inside an item.
constexpr uint64_t stopCheckPositions = 256;
// Children wait in per-shard batches so a shard's lock is taken once per batch and a batch walks
// its table in order: the larger the batch, the closer together its children's cells lie. The
// batches of all workers together take at most:
//  - the room that `batchPeakBytes` per position stored (the next layer's expected positions
//    included) leaves beside the search's own blocks, so the peak stays within the engine's 32
//    bytes per stored position with a margin for a next layer smaller than expected;
//  - as much as the tables they go to, and `maxBatchBytes`;
//  - what the budget has beyond room for the tables to grow by half.
// A batch of at most `minBatch` children is not worth its order: the workers then keep
// batches of that size on their own, unordered (about 1 MiB per worker outside the budget).
// Measured on the dense benches, where the budget leaves no room: batches of 128 beat 64 by
// 5%, 32 by 15%, 16 by 20% (the prefetches run ahead the longer, the longer the batch).
constexpr uint64_t batchPeakBytes = 30;
constexpr uint64_t maxBatchBytes = uint64_t{128} << 20;
// How many children ahead of the insert a cell is asked for.
constexpr int32_t prefetchAhead = 32;

template <typename C>
constexpr int32_t countBitsOf() {
    if constexpr (std::is_same_v<C, Count64>) {
        return 64;
    } else if constexpr (std::is_same_v<C, Count128>) {
        return 128;
    } else {
        return 256;
    }
}

}  // namespace

// The next layer while it is built: its shards' tables, the last layer's positions cut into
// items of work, and the flags that end the work early.
template <typename C, typename P>
struct LayeredSearch::Build : ShardTables<C, P> {
    struct Item {
        int32_t shard;
        uint64_t begin;
        uint64_t end;
    };
    std::vector<Item> items;
    int32_t matches = 0;       // of every position of the layer expanded
    bool byTo = false;         // the jump lists walked over the empty slots
    bool byFamily = false;     // the jump families instead of the lists
    int32_t batch = minBatch;  // children per shard batch
    ChargedBlock batchMemory;  // the workers' batches, when they are larger than the least
    std::atomic<uint64_t> nextItem{0};
    std::atomic<bool> abort{false};
    std::atomic<bool> outOfMemory{false};
    std::atomic<bool> overflow{false};
    std::vector<Worker<C, P>> workers;

    void fail(std::atomic<bool>& why) {
        why = true;
        abort = true;
    }
};

// One thread's share of an expansion: its children waiting per shard, and the dead ends it
// met (added to the spectrum once the whole layer is done).
template <typename C, typename P>
struct LayeredSearch::Worker {
    // A batch per shard, then room for one batch in the order of its home cells: in the
    // layer's charged batch memory, or in `own` when that is too small to be worth it.
    Pending<C, P>* pending = nullptr;
    Pending<C, P>* ordered = nullptr;
    std::unique_ptr<Pending<C, P>[]> own;
    std::vector<int32_t> fill;
    std::vector<Count256> spectrum;
    std::vector<std::optional<Bits>> deadEnds;
    SymmetryImages::Images keys;
    std::vector<int32_t> legal;
    std::vector<Bits> children;
    uint64_t generated = 0;
    // The calling thread's worker asks the tick about every 50 ms, the others only look at the
    // flags.
    const std::function<bool()>* tick = nullptr;
    std::chrono::steady_clock::time_point lastTick;

    // True when the layer is to be dropped: a flag set, or the tick asks to stop (which sets it).
    bool stopAsked(Build<C, P>& next) {
        if (next.abort.load(std::memory_order_relaxed)) {
            return true;
        }
        if (tick && ticked(*tick, lastTick)) {
            next.abort = true;
            return true;
        }
        return false;
    }
};

LayeredSearch::LayeredSearch(const JumpGraph& graph, MemoryBudget& budget, int32_t threads,
                             bool useSymmetry, ExpandMethod method)
    : graph_(graph),
      budget_(budget),
      threads_(std::max(1, threads)),
      symmetryCount_(useSymmetry ? static_cast<int32_t>(graph.symmetries.size()) : 1),
      images_(graph, symmetryCount_, method.vectors),
      method_(method),
      moves_(graph, method.jumps),
      narrow_(method.narrow && graph.slotCount <= 64) {
    spectrum_.assign(graph.startMatches() + 1, Count256{});
    deadEnds_.assign(graph.startMatches() + 1, std::nullopt);

    if (narrow_) {
        startWith<NarrowBits>(canonical(graph.start));
    } else {
        startWith<Bits>(canonical(graph.start));
    }
    layerSizes_.push_back(1);
}

template <typename P>
void LayeredSearch::startWith(Bits start) {
    stored_ = std::vector<PositionLayer<P>>{};
    last_ = startLayer<P>(start, budget_);
}

int32_t LayeredSearch::countBits() const {
    return std::visit(
        [](const auto& layer) {
            return countBitsOf<typename std::decay_t<decltype(layer)>::Count>();
        },
        last_);
}

bool LayeredSearch::layerContains(int32_t k, Bits p) const {
    if (k < 0 || k > lastLayer()) {
        return false;
    }
    const Bits c = canonical(p);
    const int32_t shard = shardOf(hashBits(c));
    if (k < lastLayer()) {
        return std::visit([&](const auto& layers) { return findIn(layers[k].shards[shard], c); },
                          stored_);
    }
    return std::visit([&](const auto& layer) { return findIn(layer.shards[shard], c); }, last_);
}

bool LayeredSearch::forEachInLastLayer(const std::function<void(Bits, const Count256&)>& f,
                                       const std::function<bool()>& stop) const {
    return std::visit(
        [&](const auto& layer) {
            for (const auto& shard : layer.shards) {
                if (stop && stop()) {
                    return false;
                }
                for (uint64_t i = 0; i < shard.n; ++i) {
                    f(toBits(shard.data()[i].pos), widen(shard.data()[i].count));
                }
            }
            return true;
        },
        last_);
}

ExpandResult LayeredSearch::expandNext(const std::function<bool()>& tick) {
    for (;;) {
        if (finished_) {
            return ExpandResult::Finished;
        }
        const Outcome r = narrow_ ? expandLast<NarrowBits>(tick) : expandLast<Bits>(tick);
        switch (r) {
            case Outcome::Expanded:
                return ExpandResult::Expanded;
            case Outcome::Finished:
                return ExpandResult::Finished;
            case Outcome::Stopped:
                return ExpandResult::Stopped;
            case Outcome::OutOfMemory:
                return ExpandResult::OutOfMemory;
            case Outcome::Overflow:
                break;
        }
        // The counts outgrew their width: redo the layer one width up. Past 256 bits no exact
        // search could finish on any machine, so that ends the exact part like a full memory.
        if (!(narrow_ ? widenLast<NarrowBits>() : widenLast<Bits>())) {
            return ExpandResult::OutOfMemory;
        }
    }
}

template <typename P>
LayeredSearch::Outcome LayeredSearch::expandLast(const std::function<bool()>& tick) {
    if (std::holds_alternative<CountedLayer<Count64, P>>(last_)) {
        return expandTyped<Count64, P>(tick);
    }
    if (std::holds_alternative<CountedLayer<Count128, P>>(last_)) {
        return expandTyped<Count128, P>(tick);
    }
    return expandTyped<Count256, P>(tick);
}

template <typename P>
bool LayeredSearch::widenLast() {
    if (std::holds_alternative<CountedLayer<Count64, P>>(last_)) {
        return widenLastLayer<Count64, Count128, P>();
    }
    if (std::holds_alternative<CountedLayer<Count128, P>>(last_)) {
        return widenLastLayer<Count128, Count256, P>();
    }
    return false;
}

template <typename C, typename W, typename P>
bool LayeredSearch::widenLastLayer() {
    std::optional<CountedLayer<W, P>> wide =
        widenLayer<C, W, P>(std::get<CountedLayer<C, P>>(last_), budget_);
    if (!wide) {
        return false;
    }
    last_ = std::move(*wide);
    return true;
}

template <typename C, typename P>
LayeredSearch::Outcome LayeredSearch::expandTyped(const std::function<bool()>& tick) {
    // A stop asked for before any work costs nothing to honour.
    if (tick && tick()) {
        return Outcome::Stopped;
    }
    auto& cur = std::get<CountedLayer<C, P>>(last_);
    Build<C, P> next;
    if (!sizeNext(cur, next)) {
        return Outcome::OutOfMemory;
    }
    expandAll(cur, next, tick);
    if (next.outOfMemory || next.overflow || next.abort) {
        return next.outOfMemory ? Outcome::OutOfMemory
               : next.overflow  ? Outcome::Overflow
                                : Outcome::Stopped;
    }
    uint64_t total = 0;
    for (int32_t s = 0; s < shardCount; ++s) {
        total += next.shards[s].n;
    }
    if (total == 0) {
        addDeadEnds(next);
        finished_ = true;
        return Outcome::Finished;
    }
    CountedLayer<C, P> built;
    const PackResult packed = packLayer(next, total, built, budget_, threads_, tick);
    if (packed != PackResult::Packed) {
        return packed == PackResult::Stopped ? Outcome::Stopped : Outcome::OutOfMemory;
    }
    // Everything that may still be refused memory comes before the first change to the search,
    // so a refusal leaves it as it was: the room for the new entries, then the retired layer.
    storedAs<P>().reserve(storedAs<P>().size() + 1);
    layerSizes_.reserve(layerSizes_.size() + 1);
    PositionLayer<P> retired = retireLayer(cur, threads_);
    addDeadEnds(next);
    storedAs<P>().push_back(std::move(retired));
    last_ = std::move(built);
    layerSizes_.push_back(total);
    return Outcome::Expanded;
}

// Sizing: each shard's table starts at the size the next layer will probably need, so few
// tables grow and they end close to full. The guess: the last layer's growth, times the change
// of growth from the layer before (on dense figures the growth falls a little every layer),
// the tables filled to 73% by it. A guess the budget cannot afford falls back to small tables
// that grow as needed. False when not even those fit.
template <typename C, typename P>
bool LayeredSearch::sizeNext(const CountedLayer<C, P>& cur, Build<C, P>& next) {
    const size_t k = layerSizes_.size();
    auto growthAt = [&](size_t i) {
        return static_cast<double>(layerSizes_[i]) / static_cast<double>(layerSizes_[i - 1]);
    };
    double growth = 12.0;
    if (k >= 2) {
        growth = growthAt(k - 1);
        if (k >= 3) {
            growth *= std::clamp(growthAt(k - 1) / growthAt(k - 2), 0.8, 1.25);
        }
        growth = std::clamp(growth, 0.5, 12.0);
    }
    const uint64_t perShard =
        static_cast<uint64_t>(static_cast<double>(cur.size) * growth / shardCount / 0.73) + 16;
    // 1. The usual case: every table at that size, slices of one region that comes zeroed (in
    //    huge pages where large: zeroed as the workers first touch them).
    next.sliceBytes = BuildShard<C, P>::bytesFor(perShard);
    next.region = ChargedRegion::take(budget_, next.sliceBytes * shardCount);
    if (next.region) {
        for (int32_t s = 0; s < shardCount; ++s) {
            next.shards[s].placeIn(next.region.data() + s * next.sliceBytes, perShard);
        }
        return true;
    }
    // 2. Otherwise shard by shard, as many full-sized tables as fit, small ones after.
    for (int32_t s = 0; s < shardCount; ++s) {
        if (!next.shards[s].allocate(perShard, budget_) && !next.shards[s].allocate(16, budget_)) {
            return false;
        }
    }
    return true;
}

// Expanding: the last layer cut into items of `chunkPositions`, taken by the threads in turn.
// The calling thread ticks about every 50 ms while it works and every 5 ms once it waits for
// the others.
template <typename C, typename P>
void LayeredSearch::expandAll(const CountedLayer<C, P>& cur, Build<C, P>& next,
                              const std::function<bool()>& tick) {
    for (int32_t s = 0; s < shardCount; ++s) {
        for (uint64_t b = 0; b < cur.shards[s].n; b += chunkPositions) {
            next.items.push_back({s, b, std::min(cur.shards[s].n, b + chunkPositions)});
        }
    }
    // Every position of layer k holds the start's matches less k, so the cheapest way to find
    // the legal jumps is the same for the whole layer.
    next.matches = graph_.start.count() - lastLayer();
    next.byTo = graph_.slotCount - next.matches < next.matches;
    next.byFamily = moves_.familiesChosen(next.matches);
    progressTotal_.store(cur.size, std::memory_order_relaxed);
    progressDone_.store(0, std::memory_order_relaxed);
    next.workers.resize(threads_);
    for (Worker<C, P>& w : next.workers) {
        w.fill.assign(shardCount, 0);
        w.spectrum.assign(spectrum_.size(), Count256{});
        w.deadEnds.assign(deadEnds_.size(), std::nullopt);
        w.legal.resize(graph_.jumps.size() + 1);
        w.children.resize(graph_.jumps.size() + 1);
    }
    if (!planBatches(next)) {
        next.fail(next.outOfMemory);
        return;
    }
    // Whatever fails on one thread drops the layer on all of them (onThreads throws it on).
    auto abortOnFailure = [&](auto&& step) {
        try {
            step();
        } catch (...) {
            next.abort = true;
            throw;
        }
    };
    onThreads(
        threads_,
        [&](int32_t t) {
            abortOnFailure(
                [&] { expandPart(cur, next, next.workers[t], t == 0 ? tick : nullptr); });
        },
        [&] {
            abortOnFailure([&] {
                if (tick && tick()) {
                    next.abort = true;
                }
            });
        });
}

// The memory of all workers' batches for the next layer, by the rules at `batchPeakBytes`. It
// depends on the layers and the budget alone, not on the threads.
template <typename C, typename P>
uint64_t LayeredSearch::batchBytes(const Build<C, P>& next) const {
    uint64_t tableBytes = 0;
    uint64_t expected = 0;
    for (int32_t s = 0; s < shardCount; ++s) {
        tableBytes += BuildShard<C, P>::bytesFor(next.shards[s].cap);
        expected += next.shards[s].cap * 73 / 100;
    }
    for (uint64_t size : layerSizes_) {
        expected += size;
    }
    // The search's own blocks: the stored layers, the last one and the tables.
    uint64_t held = tableBytes;
    auto add = [&](const auto& layer) {
        for (const auto& run : layer.runs) {
            held += run.memory.bytes();
        }
    };
    for (const PositionLayer<P>& layer : storedAs<P>()) {
        add(layer);
    }
    std::visit(add, last_);
    const uint64_t ceiling = batchPeakBytes * expected;
    const uint64_t room = ceiling > held ? ceiling - held : 0;
    const uint64_t free = budget_.limit() - budget_.used();
    const uint64_t spare = free > tableBytes / 2 ? free - tableBytes / 2 : 0;
    return std::min({room, tableBytes, maxBatchBytes, spare});
}

// The batches: their memory charged to the budget whatever the thread count (so whether a layer
// fits does not depend on it), split among the workers. Where a worker's part is too small, or
// the budget has no room, each worker keeps batches of the least size on its own, outside the
// budget: false when the system refuses even those.
template <typename C, typename P>
bool LayeredSearch::planBatches(Build<C, P>& next) {
    const uint64_t recordsPerBatch = shardCount + 1;  // one per shard and the ordered copy
    const uint64_t bytes = batchBytes(next);
    if (bytes / recordsPerBatch / sizeof(Pending<C, P>) > minBatch) {
        next.batchMemory = ChargedBlock::take(budget_, bytes);
    }
    const uint64_t batch = next.batchMemory.bytes() / static_cast<uint64_t>(threads_) /
                           recordsPerBatch / sizeof(Pending<C, P>);
    const bool shared = batch > minBatch && method_.batch == 0;
    next.batch = method_.batch > 0 ? method_.batch
                 : shared          ? static_cast<int32_t>(batch)
                                   : minBatch;
    const uint64_t perWorker = recordsPerBatch * static_cast<uint64_t>(next.batch);
    for (int32_t t = 0; t < threads_; ++t) {
        Worker<C, P>& w = next.workers[t];
        if (shared) {
            w.pending = static_cast<Pending<C, P>*>(next.batchMemory.data()) + t * perWorker;
        } else {
            w.own.reset(new (std::nothrow) Pending<C, P>[perWorker]);
            if (!w.own) {
                return false;
            }
            w.pending = w.own.get();
        }
        w.ordered = w.pending + shardCount * next.batch;
    }
    return true;
}

template <typename C, typename P>
void LayeredSearch::expandPart(const CountedLayer<C, P>& cur, Build<C, P>& next,
                               Worker<C, P>& worker, const std::function<bool()>& tick) {
    worker.tick = &tick;
    worker.lastTick = std::chrono::steady_clock::now();
    while (!next.abort.load(std::memory_order_relaxed)) {
        const uint64_t itemIndex = next.nextItem++;
        if (itemIndex >= next.items.size()) {
            break;
        }
        const auto item = next.items[itemIndex];
        worker.generated = 0;
        uint64_t e = item.begin;
        for (; e < item.end; ++e) {
            // A stop is looked for every few hundred positions, not only between items: an
            // item of a dense layer takes milliseconds, more on a loaded machine.
            if ((e - item.begin) % stopCheckPositions == stopCheckPositions - 1 &&
                worker.stopAsked(next)) {
                break;
            }
            expandPosition(cur.shards[item.shard].data()[e], next, worker);
        }
        jumpsGenerated_.fetch_add(worker.generated, std::memory_order_relaxed);
        progressDone_.fetch_add(e - item.begin, std::memory_order_relaxed);
        worker.stopAsked(next);
    }
    if (!next.abort.load()) {
        for (int32_t s = 0; s < shardCount; ++s) {
            if (worker.fill[s] > 0) {
                merge(next, worker, s);
            }
        }
    }
}

// One position: its children, canonical, wait in their shards' batches; without a child it is
// a dead end.
template <typename C, typename P>
void LayeredSearch::expandPosition(const CountedPosition<C, P>& entry, Build<C, P>& next,
                                   Worker<C, P>& worker) {
    const Bits r = toBits(entry.pos);
    const int32_t legalCount = next.byFamily ? moves_.legalJumpsByFamily(r, worker.legal.data())
                                             : moves_.legalJumps(r, next.byTo, worker.legal.data());
    worker.generated += legalCount;
    if (legalCount == 0) {
        const int32_t m = next.matches + graph_.fixedMatches;
        if (!addCount(worker.spectrum[m], widen(entry.count))) {
            next.fail(next.overflow);
        }
        if (!worker.deadEnds[m] || r < *worker.deadEnds[m]) {
            worker.deadEnds[m] = r;
        }
        return;
    }
    images_.imagesOf(r, worker.keys);
    images_.children(worker.keys, worker.legal.data(), legalCount, worker.children.data());
    for (int32_t i = 0; i < legalCount; ++i) {
        const Bits child = worker.children[i];
        const uint64_t h = hashBits(child);
        const int32_t s = shardOf(h);
        worker.pending[s * next.batch + worker.fill[s]] =
            Pending<C, P>{fromBits<P>(child), entry.count, h};
        if (++worker.fill[s] == next.batch) {
            merge(next, worker, s);
        }
    }
}

// Merging: a batch of children into their shard's table, under its lock. The cells are
// scattered over a table far larger than the caches. The batch is first put in the order of its
// home cells (a counting sort by the top byte of the hash's low half, which is what the home
// scales), so the inserts walk the table forward a page at a time, and each child's cell is
// asked for `prefetchAhead` children before it is touched.
template <typename C, typename P>
void LayeredSearch::merge(Build<C, P>& next, Worker<C, P>& worker, int32_t s) {
    BuildShard<C, P>& shard = next.shards[s];
    const int32_t count = worker.fill[s];
    worker.fill[s] = 0;
    // A batch can take a while (the first touches of a layer's fresh memory, on all shards at
    // once when the batches fill together): a stop is looked for at every one.
    if (worker.stopAsked(next)) {
        return;
    }
    const Pending<C, P>* batch =
        orderByHome(&worker.pending[s * next.batch], count, worker.ordered);
    bool over = false;
    {
        std::lock_guard<std::mutex> guard(shard.lock);
        for (int32_t i = 0; i < std::min(count, prefetchAhead); ++i) {
            __builtin_prefetch(&shard.table()[shard.home(batch[i].hash)]);
        }
        for (int32_t i = 0; i < count && !next.outOfMemory.load(std::memory_order_relaxed); ++i) {
            if (i + prefetchAhead < count) {
                __builtin_prefetch(&shard.table()[shard.home(batch[i + prefetchAhead].hash)]);
            }
            while (!shard.insert(batch[i].pos, batch[i].hash, batch[i].count, over)) {
                if (!shard.grow(budget_, next.region, next.sliceBytes)) {
                    next.fail(next.outOfMemory);
                    break;
                }
            }
        }
    }
    if (over) {
        next.fail(next.overflow);
    }
}

// The layer is done: its dead ends join the spectrum.
template <typename C, typename P>
void LayeredSearch::addDeadEnds(const Build<C, P>& next) {
    for (const Worker<C, P>& worker : next.workers) {
        for (size_t m = 0; m < spectrum_.size(); ++m) {
            addCount(spectrum_[m], worker.spectrum[m]);
            if (worker.deadEnds[m] && (!deadEnds_[m] || *worker.deadEnds[m] < *deadEnds_[m])) {
                deadEnds_[m] = worker.deadEnds[m];
            }
        }
    }
}

}  // namespace kvarlo::engine
