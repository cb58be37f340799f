// Layer storage: the start's layer, the finished tables copied out into a layer's runs, a layer's
// counts widened, and a layer retired to its positions.
#include "solver/engine/layer_storage.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "solver/engine/threads.h"

namespace kvarlo::engine {

namespace {

// A packed layer's shards are written in runs of about this size, each one block (see
// ShardedRecords): large enough for huge pages, small enough that the region's tables of a run
// go back soon after it is copied.
constexpr uint64_t runBytes = uint64_t{8} << 20;

// One run packed: a table of its own shrunk to its positions; tables in the region copied out
// to one block charged with what their slices give back first. False when the system refuses
// that block.
template <typename C, typename P>
bool packRun(ShardTables<C, P>& next, CountedLayer<C, P>& built, MemoryBudget& budget, size_t r) {
    using Record = CountedPosition<C, P>;
    auto& run = built.runs[r];
    BuildShard<C, P>& first = next.shards[run.begin];
    if (first.memory) {
        first.memory.shrink(first.n * sizeof(Record));
        built.shards[run.begin] = {static_cast<Record*>(first.memory.data()), first.n};
        run.memory = std::move(first.memory);
        return true;
    }
    uint64_t bytes = 0;
    for (int32_t s = run.begin; s < run.end; ++s) {
        bytes += next.shards[s].n * sizeof(Record);
    }
    next.region.refund((run.end - run.begin) * next.sliceBytes);
    if (bytes == 0) {
        return true;
    }
    run.memory = ChargedBlock::take(budget, bytes);
    if (!run.memory) {
        return false;
    }
    auto* to = static_cast<Record*>(run.memory.data());
    for (int32_t s = run.begin; s < run.end; ++s) {
        const uint64_t n = next.shards[s].n;
        std::memcpy(static_cast<void*>(to), next.shards[s].table(), n * sizeof(Record));
        built.shards[s] = {to, n};
        to += n;
    }
    return true;
}

}  // namespace

// Packing, in two passes over the shards. First each table is packed in order to its front.
// Then the tables are copied out in runs of consecutive shards, a block each: a run's slices of
// the region are refunded before its block is taken, and the region goes back from the front as
// the runs in order are done. A table of its own (grown, or where the region did not fit) is
// shrunk to a run of its own instead. A large layer takes a while: a stop asked for meanwhile
// drops it (nothing, when empty).
template <typename C, typename P>
PackResult packLayer(ShardTables<C, P>& next, uint64_t total, CountedLayer<C, P>& built,
                     MemoryBudget& budget, int32_t threads, const std::function<bool()>& tick) {
    built.shards.resize(shardCount);
    built.size = total;
    auto finishShard = [&](int32_t s) {
        next.shards[s].finish();
        return true;
    };
    if (!onItems(threads, shardCount, finishShard, tick)) {
        return PackResult::Stopped;
    }
    // The runs: a table of its own alone, tables in the region together up to `runBytes`. A
    // layer smaller than that keeps a run per shard: small blocks come from the allocator's
    // heap, which hands the memory of the layers before on without new page faults (one block
    // for the layer came fresh from the system every layer, 1.3 times slower on the default
    // figure).
    const uint64_t least = total * sizeof(CountedPosition<C, P>) >= runBytes ? runBytes : 0;
    uint64_t bytes = 0;
    for (int32_t s = 0; s < shardCount; ++s) {
        const bool own = static_cast<bool>(next.shards[s].memory);
        if (own || bytes >= least || built.runs.empty() ||
            next.shards[built.runs.back().begin].memory) {
            built.runs.push_back({ChargedBlock{}, s, s});
            bytes = 0;
        }
        built.runs.back().end = s + 1;
        bytes += next.shards[s].n * sizeof(CountedPosition<C, P>);
    }
    std::atomic<bool> outOfMemory{false};
    std::mutex frontLock;  // guards the front and the region's releases
    std::vector<bool> done(built.runs.size(), false);
    size_t front = 0;  // the runs before it are all packed
    const bool packed = onItems(
        threads, static_cast<int32_t>(built.runs.size()),
        [&](int32_t r) {
            const bool ok = packRun(next, built, budget, r);
            std::lock_guard<std::mutex> guard(frontLock);
            done[r] = true;
            while (front < done.size() && done[front]) {
                ++front;
            }
            const int32_t shards = front < done.size() ? built.runs[front].begin : shardCount;
            next.region.releaseFront(shards * next.sliceBytes);
            outOfMemory = outOfMemory || !ok;
            return ok;
        },
        tick);
    return outOfMemory ? PackResult::OutOfMemory
           : packed    ? PackResult::Packed
                       : PackResult::Stopped;
}

// Retiring: the old layer keeps its positions only, packed to the front of each run's block in
// place (a record never moves forward), the block shrunk; the runs on the threads.
template <typename C, typename P>
PositionLayer<P> retireLayer(CountedLayer<C, P>& cur, int32_t threads) {
    PositionLayer<P> kept;
    kept.shards.resize(shardCount);
    kept.runs.resize(cur.runs.size());
    kept.size = cur.size;
    std::vector<uint64_t> offsets(shardCount);
    auto retireRun = [&](int32_t r) {
        auto& run = cur.runs[r];
        P* packed = static_cast<P*>(run.memory.data());
        uint64_t m = 0;
        for (int32_t s = run.begin; s < run.end; ++s) {
            const auto& from = cur.shards[s];
            for (uint64_t i = 0; i < from.n; ++i) {
                const P p = from.data()[i].pos;
                std::memcpy(static_cast<void*>(packed + m + i), &p, sizeof(P));
            }
            offsets[s] = m;
            m += from.n;
        }
        run.memory.shrink(m * sizeof(P));
        for (int32_t s = run.begin; s < run.end; ++s) {
            kept.shards[s] = {static_cast<P*>(run.memory.data()) + offsets[s], cur.shards[s].n};
        }
        kept.runs[r] = {std::move(run.memory), run.begin, run.end};
        return true;
    };
    onItems(threads, static_cast<int32_t>(cur.runs.size()), retireRun, {});
    cur.runs.clear();
    cur.shards.assign(shardCount, {});
    cur.size = 0;
    return kept;
}

// Layer 0: the start alone, reached by the empty sequence. It lives in the shard its canonical
// form hashes to, like every other position.
template <typename P>
CountedLayer<Count64, P> startLayer(Bits start, MemoryBudget& budget) {
    using Record = CountedPosition<Count64, P>;
    CountedLayer<Count64, P> first;
    first.shards.resize(shardCount);
    const int32_t s = shardOf(hashBits(start));
    ChargedBlock memory = ChargedBlock::take(budget, sizeof(Record));
    if (!memory) {
        // Without its start the search would pass for one that found no game at all.
        throw std::bad_alloc();
    }
    auto* record = static_cast<Record*>(memory.data());
    *record = Record{fromBits<P>(start), 1};
    first.shards[s] = {record, 1};
    first.size = 1;
    first.runs.push_back({std::move(memory), s, s + 1});
    return first;
}

// The wider layer is one run.
template <typename C, typename W, typename P>
std::optional<CountedLayer<W, P>> widenLayer(const CountedLayer<C, P>& cur, MemoryBudget& budget) {
    using Wide = CountedPosition<W, P>;
    CountedLayer<W, P> wide;
    wide.shards.resize(shardCount);
    wide.size = cur.size;
    ChargedBlock memory = ChargedBlock::take(budget, cur.size * sizeof(Wide));
    if (!memory) {
        return std::nullopt;
    }
    auto* to = static_cast<Wide*>(memory.data());
    for (int32_t s = 0; s < shardCount; ++s) {
        const auto& from = cur.shards[s];
        wide.shards[s] = {to, from.n};
        for (uint64_t i = 0; i < from.n; ++i) {
            to[i] = Wide{from.data()[i].pos, W(from.data()[i].count)};
        }
        to += from.n;
    }
    wide.runs.push_back({std::move(memory), 0, shardCount});
    return wide;
}

// The layers keep these kinds of records.
template PackResult packLayer(ShardTables<Count64, Bits>&, uint64_t, CountedLayer<Count64, Bits>&,
                              MemoryBudget&, int32_t, const std::function<bool()>&);
template PackResult packLayer(ShardTables<Count128, Bits>&, uint64_t, CountedLayer<Count128, Bits>&,
                              MemoryBudget&, int32_t, const std::function<bool()>&);
template PackResult packLayer(ShardTables<Count256, Bits>&, uint64_t, CountedLayer<Count256, Bits>&,
                              MemoryBudget&, int32_t, const std::function<bool()>&);
template PackResult packLayer(ShardTables<Count64, NarrowBits>&, uint64_t,
                              CountedLayer<Count64, NarrowBits>&, MemoryBudget&, int32_t,
                              const std::function<bool()>&);
template PackResult packLayer(ShardTables<Count128, NarrowBits>&, uint64_t,
                              CountedLayer<Count128, NarrowBits>&, MemoryBudget&, int32_t,
                              const std::function<bool()>&);
template PackResult packLayer(ShardTables<Count256, NarrowBits>&, uint64_t,
                              CountedLayer<Count256, NarrowBits>&, MemoryBudget&, int32_t,
                              const std::function<bool()>&);
template CountedLayer<Count64, Bits> startLayer(Bits, MemoryBudget&);
template CountedLayer<Count64, NarrowBits> startLayer(Bits, MemoryBudget&);
template std::optional<CountedLayer<Count128, Bits>> widenLayer(const CountedLayer<Count64, Bits>&,
                                                                MemoryBudget&);
template std::optional<CountedLayer<Count256, Bits>> widenLayer(const CountedLayer<Count128, Bits>&,
                                                                MemoryBudget&);
template std::optional<CountedLayer<Count128, NarrowBits>> widenLayer(
    const CountedLayer<Count64, NarrowBits>&, MemoryBudget&);
template std::optional<CountedLayer<Count256, NarrowBits>> widenLayer(
    const CountedLayer<Count128, NarrowBits>&, MemoryBudget&);
template PositionLayer<Bits> retireLayer(CountedLayer<Count64, Bits>&, int32_t);
template PositionLayer<Bits> retireLayer(CountedLayer<Count128, Bits>&, int32_t);
template PositionLayer<Bits> retireLayer(CountedLayer<Count256, Bits>&, int32_t);
template PositionLayer<NarrowBits> retireLayer(CountedLayer<Count64, NarrowBits>&, int32_t);
template PositionLayer<NarrowBits> retireLayer(CountedLayer<Count128, NarrowBits>&, int32_t);
template PositionLayer<NarrowBits> retireLayer(CountedLayer<Count256, NarrowBits>&, int32_t);

}  // namespace kvarlo::engine
