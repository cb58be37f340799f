// Canonical positions known to end with more than `target` graph matches in every game, for the
// depth-first searches that lower a target. One entry per cell, replaced on collision: a lost
// entry costs time, never correctness.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "solver/engine/bits.h"

namespace kvarlo::engine {

class RefutedPositions {
public:
    // At most `bytes` of cells (a power of two of them); none below 64 cells. It starts small
    // and grows as it fills, so a search that ends early never touches the whole share.
    explicit RefutedPositions(uint64_t bytes) {
        uint64_t cells = 1;
        while (cells * 2 * sizeof(Entry) <= bytes) {
            cells *= 2;
        }
        if (cells >= 64) {
            maxCells_ = cells;
            entries_.resize(std::min<uint64_t>(cells, 1024));
        }
    }

    bool refutes(Bits canonical, int32_t target) const {
        if (entries_.empty()) {
            return false;
        }
        const Entry& e = entries_[hashBits(canonical) & (entries_.size() - 1)];
        return e.position == canonical && e.target >= target;
    }

    // Records that no game from `canonical` ends with `target` matches or fewer.
    void store(Bits canonical, int32_t target) {
        if (entries_.empty()) {
            return;
        }
        put(canonical, target);
        growIfFull();
    }

private:
    struct Entry {
        Bits position;
        int32_t target = -1;  // -1: unused
    };

    void put(Bits canonical, int32_t target) {
        Entry& e = entries_[hashBits(canonical) & (entries_.size() - 1)];
        stored_ += e.target < 0;
        e = Entry{canonical, target};
    }

    // Doubles when half full, up to the most cells its bytes allow.
    void growIfFull() {
        if (entries_.size() >= maxCells_ || stored_ < entries_.size() / 2) {
            return;
        }
        std::vector<Entry> old(entries_.size() * 2);
        old.swap(entries_);
        stored_ = 0;
        for (const Entry& e : old) {
            if (e.target >= 0) {
                put(e.position, e.target);
            }
        }
    }

    std::vector<Entry> entries_;  // a power of two in size, or empty
    uint64_t stored_ = 0;
    uint64_t maxCells_ = 0;
};

}  // namespace kvarlo::engine
