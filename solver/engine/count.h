// Exact path counts. Counts of jump sequences outgrow 64 bits quickly, so a layer's counts are
// kept in the narrowest of three widths that holds them; an addition that overflows is reported
// and the layer is redone one width up. Totals (the spectrum) are always 256 bits wide.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace kvarlo::engine {

using Count64 = uint64_t;
using Count128 = unsigned __int128;

struct Count256 {
    uint64_t w[4] = {0, 0, 0, 0};  // little-endian words

    Count256() = default;
    Count256(uint64_t v) : w{v, 0, 0, 0} {}
    Count256(unsigned __int128 v)
        : w{static_cast<uint64_t>(v), static_cast<uint64_t>(v >> 64), 0, 0} {}

    bool isZero() const { return (w[0] | w[1] | w[2] | w[3]) == 0; }
    // Number of significant bits.
    int32_t bitLength() const {
        for (int32_t i = 3; i >= 0; --i) {
            if (w[i]) {
                return 64 * i + 64 - __builtin_clzll(w[i]);
            }
        }
        return 0;
    }
    Count256 shiftedRight(int32_t s) const {
        Count256 r;
        const int32_t words = s / 64;
        const int32_t bits = s % 64;
        for (int32_t i = 0; i + words < 4; ++i) {
            uint64_t v = w[i + words] >> bits;
            if (bits && i + words + 1 < 4) {
                v |= w[i + words + 1] << (64 - bits);
            }
            r.w[i] = v;
        }
        return r;
    }
    uint64_t low64() const { return w[0]; }
    friend bool operator==(const Count256& a, const Count256& b) {
        return std::equal(a.w, a.w + 4, b.w);
    }
    friend bool operator<(const Count256& a, const Count256& b) {
        for (int32_t i = 3; i >= 0; --i) {
            if (a.w[i] != b.w[i]) {
                return a.w[i] < b.w[i];
            }
        }
        return false;
    }
};

// a += b; false on overflow (a is then unusable).
inline bool addCount(Count64& a, Count64 b) {
    return !__builtin_add_overflow(a, b, &a);
}
inline bool addCount(Count128& a, Count128 b) {
    return !__builtin_add_overflow(a, b, &a);
}
inline bool addCount(Count256& a, const Count256& b) {
    unsigned char carry = 0;
    for (int32_t i = 0; i < 4; ++i) {
        unsigned long long s = 0;
        // Two statements: the second addition reads the sum the first one writes.
        const bool wordOverflows = __builtin_add_overflow(a.w[i], b.w[i], &s);
        const bool carryOverflows = __builtin_add_overflow(s, static_cast<uint64_t>(carry), &s);
        carry = wordOverflows || carryOverflows ? 1 : 0;
        a.w[i] = s;
    }
    return carry == 0;
}

inline Count256 widen(Count64 v) {
    return Count256(v);
}
inline Count256 widen(Count128 v) {
    return Count256(v);
}
inline Count256 widen(const Count256& v) {
    return v;
}

inline bool isZero(Count64 v) {
    return v == 0;
}
inline bool isZero(Count128 v) {
    return v == 0;
}
inline bool isZero(const Count256& v) {
    return v.isZero();
}

// Decimal digits, for the command line's exact counts.
inline std::string toDecimal(Count256 v) {
    if (v.isZero()) {
        return "0";
    }
    std::string digits;
    while (!v.isZero()) {
        unsigned __int128 rem = 0;
        for (int32_t i = 3; i >= 0; --i) {
            const unsigned __int128 cur = (rem << 64) | v.w[i];
            v.w[i] = static_cast<uint64_t>(cur / 10);
            rem = cur % 10;
        }
        digits.push_back(static_cast<char>('0' + static_cast<int>(rem)));
    }
    std::reverse(digits.begin(), digits.end());
    return digits;
}

// As a double, for estimates and shares.
inline double toDouble(const Count256& v) {
    double r = 0;
    for (int32_t i = 3; i >= 0; --i) {
        r = r * 18446744073709551616.0 + static_cast<double>(v.w[i]);
    }
    return r;
}

}  // namespace kvarlo::engine
