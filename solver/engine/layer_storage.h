// The layers as they are kept: each a layer's records by shard, in runs of memory charged to the
// budget; built from the finished shard tables and, once expanded, retired to their positions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/budget.h"
#include "solver/engine/count.h"
#include "solver/engine/shard_table.h"

namespace kvarlo::engine {

// A shard of a layer: `n` records at `at`, in one of the layer's runs.
template <typename T>
struct Shard {
    T* at = nullptr;
    uint64_t n = 0;
    T* data() const { return at; }
};

// A layer's records by shard. Their memory is charged to the budget in runs: a run is one block
// holding the records of consecutive shards [begin, end), in shard order. A few large runs
// rather than a block per shard: large blocks come from the system in huge pages, so writing
// and reading a layer takes a page fault and a TLB entry per 2 MiB rather than per 4 KiB. A
// layer too small for that keeps a run per shard (see packLayer).
template <typename T>
struct ShardedRecords {
    struct Run {
        ChargedBlock memory;
        int32_t begin = 0;
        int32_t end = 0;
    };
    std::vector<Shard<T>> shards;
    std::vector<Run> runs;
    uint64_t size = 0;
};

// A layer whose counts are no longer needed: positions only, for walking a solution back.
template <typename P>
struct PositionLayer : ShardedRecords<P> {};

template <typename C, typename P>
struct CountedLayer : ShardedRecords<CountedPosition<C, P>> {
    using Count = C;
    using Position = P;
};

// True when the shard holds position p, by a binary search in its order.
template <typename T>
inline bool findIn(const Shard<T>& shard, Bits p) {
    const T* begin = shard.data();
    const T* end = begin + shard.n;
    auto key = [](const T& e) -> Bits {
        if constexpr (std::is_same_v<T, Bits> || std::is_same_v<T, NarrowBits>) {
            return toBits(e);
        } else {
            return toBits(e.pos);
        }
    };
    // Shards are in the order of (orderKey, position).
    const uint32_t pk = orderKey(p);
    const T* it = std::lower_bound(begin, end, p, [&](const T& e, Bits v) {
        const uint32_t ek = orderKey(key(e));
        return ek != pk ? ek < pk : key(e) < v;
    });
    return it != end && key(*it) == p;
}

enum class PackResult { Packed, Stopped, OutOfMemory };

// The finished tables of `next` (`total` positions in all) packed into `built`: the tables
// finished on the threads, then copied out in runs. `tick` as for the expansion; Stopped drops
// the layer, OutOfMemory when the budget or the system refuses a run's block.
template <typename C, typename P>
PackResult packLayer(ShardTables<C, P>& next, uint64_t total, CountedLayer<C, P>& built,
                     MemoryBudget& budget, int32_t threads, const std::function<bool()>& tick);

// Layer 0: the start alone, with one path; std::bad_alloc when the budget has no room for it.
template <typename P>
CountedLayer<Count64, P> startLayer(Bits start, MemoryBudget& budget);

// The layer with its counts widened to W, in one run; nothing when the budget has no room.
template <typename C, typename W, typename P>
std::optional<CountedLayer<W, P>> widenLayer(const CountedLayer<C, P>& cur, MemoryBudget& budget);

// The layer's positions alone, its counts dropped; `cur` is left empty.
template <typename C, typename P>
PositionLayer<P> retireLayer(CountedLayer<C, P>& cur, int32_t threads);

}  // namespace kvarlo::engine
