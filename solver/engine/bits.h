// A position of the jump graph: one bit per slot, up to 128 slots, bit i = slot i holds a match.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

namespace kvarlo::engine {

inline constexpr int32_t maxSlots = 128;

// Two words, low slots in `lo`. Ordered by (hi, lo): the order of canonical forms.
struct Bits {
    uint64_t lo = 0;
    uint64_t hi = 0;

    static Bits bit(int32_t i) {
        Bits b;
        if (i < 64) {
            b.lo = uint64_t{1} << i;
        } else {
            b.hi = uint64_t{1} << (i - 64);
        }
        return b;
    }
    bool test(int32_t i) const { return i < 64 ? (lo >> i) & 1 : (hi >> (i - 64)) & 1; }
    void set(int32_t i) { *this = *this | bit(i); }
    bool empty() const { return (lo | hi) == 0; }
    int32_t count() const { return std::popcount(lo) + std::popcount(hi); }
    // Byte b (slots 8b to 8b + 7), shifted out of the words in registers: a copy of the words
    // to memory read back in other sizes would wait for the stores to finish.
    uint32_t byte(int32_t b) const {
        return static_cast<uint32_t>((b < 8 ? lo : hi) >> (8 * (b & 7))) & 0xFF;
    }

    friend Bits operator|(Bits a, Bits b) { return {a.lo | b.lo, a.hi | b.hi}; }
    friend Bits operator&(Bits a, Bits b) { return {a.lo & b.lo, a.hi & b.hi}; }
    friend Bits operator^(Bits a, Bits b) { return {a.lo ^ b.lo, a.hi ^ b.hi}; }
    friend bool operator==(Bits a, Bits b) { return a.lo == b.lo && a.hi == b.hi; }
    friend bool operator<(Bits a, Bits b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }
};
static_assert(sizeof(Bits) == 16);

// A position of a graph of at most 64 slots, kept in one word: the `lo` of its Bits. Ordered
// and hashed as those Bits are, so the tables of a search hold the same positions in the same
// order whichever of the two forms they keep.
using NarrowBits = uint64_t;

inline Bits toBits(Bits p) {
    return p;
}
inline Bits toBits(NarrowBits p) {
    return Bits{p, 0};
}
// The form P of a position (whose high word must be empty for NarrowBits).
template <typename P>
inline P fromBits(Bits b) {
    if constexpr (std::is_same_v<P, NarrowBits>) {
        return b.lo;
    } else {
        return b;
    }
}

// A well-mixed 64-bit hash: the top bits pick a shard, the low bits a table slot.
inline uint64_t hashBits(Bits b) {
    uint64_t h =
        b.lo * 0x9E3779B97F4A7C15ull ^ (b.hi + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 31;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return h;
}

// Visits the set bits in ascending order.
template <typename F>
inline void forEachBit(Bits b, F&& f) {
    for (uint64_t w = b.lo; w; w &= w - 1) {
        f(std::countr_zero(w));
    }
    for (uint64_t w = b.hi; w; w &= w - 1) {
        f(64 + std::countr_zero(w));
    }
}

}  // namespace kvarlo::engine
