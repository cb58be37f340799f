// The tables the next layer is built in: one open-addressing table per shard, filled by the
// threads in batches of children and finished in a fixed order whatever the threads did.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/budget.h"
#include "solver/engine/count.h"

namespace kvarlo::engine {

// The layer being built is cut into shards by the top bits of its positions' hashes, each a
// table of its own under its own lock.
inline constexpr int32_t shardBits = 8;
inline constexpr int32_t shardCount = 1 << shardBits;

inline int32_t shardOf(uint64_t h) {
    return static_cast<int32_t>(h >> (64 - shardBits));
}

// One stored position with its path count, the position in one word on a graph of at most 64
// slots (NarrowBits), in two on any other. A shard keeps these in the order of the low half of
// their hash, then of position (see orderKey).
//   Count64,  Bits:        0 pos (16)  16 count (8)   -> 24 bytes
//   Count128, Bits:        0 pos (16)  16 count (16)  -> 32 bytes
//   Count64,  NarrowBits:  0 pos (8)    8 count (8)   -> 16 bytes
template <typename C, typename P>
struct CountedPosition {
    P pos;
    C count;
};
static_assert(sizeof(CountedPosition<Count64, Bits>) == 24);
static_assert(sizeof(CountedPosition<Count128, Bits>) == 32);
static_assert(sizeof(CountedPosition<Count64, NarrowBits>) == 16);

// The part of a position's hash that orders a shard: its low half. A table's home cells follow
// it, and a finished shard is sorted by it (then by position): a fixed order whatever the
// threads did, found again by a binary search.
inline uint32_t orderKey(Bits p) {
    return static_cast<uint32_t>(hashBits(p));
}

// The empty position marks a free cell of a table: no child of a jump is empty.
template <typename P>
inline bool isFree(P p) {
    return toBits(p).empty();
}

// Probes run on past the last home cell into this many spare cells instead of wrapping to the
// start, so a table's positions lie in nearly the order of their keys.
constexpr uint64_t spareCells = 64;

// A batch of at most this many children gains nothing from being put in order (see
// orderByHome).
inline constexpr int32_t minBatch = 128;

// One shard of the layer being built: an open-addressing table keyed by position (the empty
// position marks a free cell; no child of a jump is empty).
//   table: `cap` home cells plus `spareCells` of CountedPosition<C, P> (24 bytes with 64-bit
//          counts, 16 with narrow positions), linear probing from home(hash), kept at most 80%
//          full, grown by half when a new position would pass that or run past the spare cells;
//   n:     cells in use.
// The table is a slice of the layer's region, or a block of its own (`memory`) once it has grown
// or when the region did not fit. Children reach a shard in batches under its lock.
template <typename C, typename P>
struct alignas(64) BuildShard {
    std::mutex lock;
    ChargedBlock memory;
    CountedPosition<C, P>* cellsAt = nullptr;  // the table, in `memory` or in the region
    uint64_t cap = 0;
    uint64_t n = 0;

    CountedPosition<C, P>* table() const { return cellsAt; }
    // The cell a hash starts probing at: the hash's low half scaled to the capacity, which
    // need not be a power of two, so a table can be sized close to what it will hold.
    uint64_t home(uint64_t h) const { return ((h & 0xFFFFFFFFull) * cap) >> 32; }
    uint64_t cells() const { return cap + spareCells; }
    static uint64_t bytesFor(uint64_t homeCells) {
        return (homeCells + spareCells) * sizeof(CountedPosition<C, P>);
    }

    // Sets the table up empty with `homeCells` home cells; false when the budget has no room.
    bool allocate(uint64_t homeCells, MemoryBudget& budget) {
        memory = ChargedBlock::take(budget, bytesFor(homeCells), true);
        cellsAt = static_cast<CountedPosition<C, P>*>(memory.data());
        cap = memory ? homeCells : 0;
        return static_cast<bool>(memory);
    }

    // Sets the table up in `slice`, zeroed room for `homeCells` home cells in the region.
    void placeIn(void* slice, uint64_t homeCells) {
        memory.reset();
        cellsAt = static_cast<CountedPosition<C, P>*>(slice);
        cap = homeCells;
    }

    // Grows the table by half (again, in the rare case that its positions would run past the
    // spare cells). A table of its own is charged for the growth only, one in the region for
    // its new block whole, its slice's charge given back (the slice's memory goes with the
    // region's).
    // Either way the charges do not depend on how the threads interleaved, so neither does
    // whether the layer fits. The old table lives on for the copy, one shard per thread at
    // most: a transient beyond the account of under 1% of the layer.
    bool grow(MemoryBudget& budget, ChargedRegion& region, uint64_t sliceBytes) {
        for (uint64_t newCap = cap < 16 ? 16 : cap + cap / 2;; newCap += newCap / 2) {
            auto fill = [&](void* fresh) {
                return rehash(static_cast<CountedPosition<C, P>*>(fresh), newCap);
            };
            auto r = ChargedBlock::Regrow::NoRoom;
            if (memory) {
                r = memory.regrow(bytesFor(newCap), fill);
            } else if (ChargedBlock fresh = ChargedBlock::take(budget, bytesFor(newCap), true)) {
                r = fill(fresh.data()) ? ChargedBlock::Regrow::Done
                                       : ChargedBlock::Regrow::FillRefused;
                if (r == ChargedBlock::Regrow::Done) {
                    memory = std::move(fresh);
                    region.refund(sliceBytes);
                }
            }
            if (r == ChargedBlock::Regrow::NoRoom) {
                return false;
            }
            if (r == ChargedBlock::Regrow::Done) {
                cellsAt = static_cast<CountedPosition<C, P>*>(memory.data());
                cap = newCap;
                return true;
            }
        }
    }

    // Copies every position into `fresh`, an empty table of `newCap` home cells; false when
    // they would run past its spare cells.
    bool rehash(CountedPosition<C, P>* fresh, uint64_t newCap) const {
        const uint64_t end = newCap + spareCells;
        const CountedPosition<C, P>* old = table();
        for (uint64_t i = 0; i < cells(); ++i) {
            if (isFree(old[i].pos)) {
                continue;
            }
            uint64_t k = ((hashBits(toBits(old[i].pos)) & 0xFFFFFFFFull) * newCap) >> 32;
            while (k < end && !isFree(fresh[k].pos)) {
                ++k;
            }
            if (k == end) {
                return false;
            }
            fresh[k] = old[i];
        }
        return true;
    }

    // Adds the count to the position's cell, or takes a free cell for a new position unless
    // that would pass 80% full or the spare cells: false then, nothing changed, and the table
    // must grow first. Growing only for a new position makes a table's final size depend on
    // its positions alone, not on the order they came in (which cells linear probing fills
    // does not depend on it either). `overflow` is set when the count no longer fits.
    bool insert(P pos, uint64_t h, const C& count, bool& overflow) {
        CountedPosition<C, P>* t = table();
        const uint64_t end = cells();
        for (uint64_t k = home(h); k < end; ++k) {
            CountedPosition<C, P>& cell = t[k];
            if (cell.pos == pos) {
                if (!addCount(cell.count, count)) {
                    overflow = true;
                }
                return true;
            }
            if (isFree(cell.pos)) {
                if ((n + 1) * 5 > cap * 4) {
                    return false;
                }
                cell.pos = pos;
                cell.count = count;
                ++n;
                return true;
            }
        }
        return false;
    }

    // Packs the positions to the front of the table in the order of (orderKey, position) and
    // returns how many there are. They already lie in nearly that order, so an insertion sort
    // only mends the few that a collision pushed past a later key.
    uint64_t finish() {
        CountedPosition<C, P>* t = table();
        std::vector<uint32_t> keys(n);
        uint64_t m = 0;
        for (uint64_t i = 0; i < cells(); ++i) {
            if (isFree(t[i].pos)) {
                continue;
            }
            const CountedPosition<C, P> e = t[i];
            const uint32_t key = orderKey(toBits(e.pos));
            uint64_t j = m++;
            for (; j > 0 && (keys[j - 1] > key || (keys[j - 1] == key && e.pos < t[j - 1].pos));
                 --j) {
                t[j] = t[j - 1];
                keys[j] = keys[j - 1];
            }
            t[j] = e;
            keys[j] = key;
        }
        return m;
    }
};

// A child waiting in its shard's batch: its position (16 bytes, 8 narrow), its count (8, 16 or
// 32, the parent's), then its hash (8), so the shard and the cell are not computed twice.
template <typename C, typename P>
struct Pending {
    P pos;
    C count;
    uint64_t hash;
};
static_assert(sizeof(Pending<Count64, Bits>) == 32);
static_assert(sizeof(Pending<Count64, NarrowBits>) == 24);

// A batch in the order of its children's home cells: a counting sort into `out` by the top byte
// of the hash's low half, which every table's home scales whatever its size; within a byte the
// batch's order stays. A small batch gains nothing from the order that pays for the sort, and
// is returned as it is.
template <typename C, typename P>
const Pending<C, P>* orderByHome(const Pending<C, P>* batch, int32_t n, Pending<C, P>* out) {
    if (n <= minBatch) {
        return batch;
    }
    auto bucket = [](uint64_t h) { return static_cast<uint32_t>(h >> 24) & 0xFF; };
    std::array<int32_t, 257> start{};
    for (int32_t i = 0; i < n; ++i) {
        ++start[bucket(batch[i].hash) + 1];
    }
    for (int32_t b = 0; b < 256; ++b) {
        start[b + 1] += start[b];
    }
    for (int32_t i = 0; i < n; ++i) {
        out[start[bucket(batch[i].hash)]++] = batch[i];
    }
    return out;
}

// The shard tables of the layer being built, slices of one region where it fits.
template <typename C, typename P>
struct ShardTables {
    ChargedRegion region;  // the tables, each a slice of `sliceBytes`, where it fits
    uint64_t sliceBytes = 0;
    std::unique_ptr<BuildShard<C, P>[]> shards = std::make_unique<BuildShard<C, P>[]>(shardCount);
};

}  // namespace kvarlo::engine
