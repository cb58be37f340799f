// Lower bounds on the ending: matches no jump can use again, and parity classes.
#include "solver/engine/bounds.h"

#include <algorithm>

namespace kvarlo::engine {

namespace {

Bits complement(Bits b) {
    return Bits{~b.lo, ~b.hi};
}

int32_t highestBit(Bits b) {
    return b.hi ? 127 - std::countl_zero(b.hi) : 63 - std::countl_zero(b.lo);
}

// Beyond this many independent classes the table of fewest slots per class would be too large
// to build at once; the parity bound is then left out (the other bounds still hold).
constexpr int32_t maxParityDimension = 20;

}  // namespace

EndingBounds::EndingBounds(const JumpGraph& graph) {
    for (const Jump& j : graph.jumps) {
        jumpMasks_.push_back(Bits::bit(j.from) | Bits::bit(j.over) | Bits::bit(j.to));
        movers_.push_back(Bits::bit(j.from) | Bits::bit(j.over));
        landings_.push_back(Bits::bit(j.to));
    }
    reduceJumpMasks();
    for (int32_t s = 0; s < graph.slotCount; ++s) {
        if (std::find(pivots_.begin(), pivots_.end(), s) == pivots_.end()) {
            freeBits_.push_back(s);
        }
    }
    if (static_cast<int32_t>(freeBits_.size()) <= maxParityDimension) {
        tabulateFewest(graph.slotCount);
    }
}

void EndingBounds::reduceJumpMasks() {
    // A jump flips its three slots, so a position and every position reached from it differ
    // by a sum (over GF(2)) of jump masks: reduced by their span, all of them are one class.
    for (Bits v : jumpMasks_) {
        for (size_t i = 0; i < basis_.size(); ++i) {
            if (v.test(pivots_[i])) {
                v = v ^ basis_[i];
            }
        }
        if (v.empty()) {
            continue;
        }
        const int32_t pivot = highestBit(v);
        for (Bits& b : basis_) {
            if (b.test(pivot)) {
                b = b ^ v;  // keeps the basis reduced, so a class has one representative
            }
        }
        basis_.push_back(v);
        pivots_.push_back(pivot);
    }
}

void EndingBounds::tabulateFewest(int32_t slotCount) {
    // Fewest slots adding up to each class, by breadth-first search from the empty sum. Slots
    // may repeat here, which only makes the numbers smaller: still lower bounds.
    std::vector<uint32_t> slotClass;
    for (int32_t s = 0; s < slotCount; ++s) {
        slotClass.push_back(parityIndex(Bits::bit(s)));
    }
    std::sort(slotClass.begin(), slotClass.end());
    slotClass.erase(std::unique(slotClass.begin(), slotClass.end()), slotClass.end());
    fewestFor_.assign(size_t{1} << freeBits_.size(), 255);
    std::vector<uint32_t> frontier{0};
    fewestFor_[0] = 0;
    for (uint8_t k = 1; !frontier.empty() && k < 255; ++k) {
        std::vector<uint32_t> next;
        for (uint32_t c : frontier) {
            for (uint32_t v : slotClass) {
                if (fewestFor_[c ^ v] == 255) {
                    fewestFor_[c ^ v] = k;
                    next.push_back(c ^ v);
                }
            }
        }
        frontier.swap(next);
    }
    // A nonempty set adding up to nothing: one slot, then others adding up to its class.
    for (uint32_t v : slotClass) {
        fewestNonEmptyZero_ = std::min<int32_t>(fewestNonEmptyZero_, 1 + fewestFor_[v]);
    }
}

uint32_t EndingBounds::parityIndex(Bits p) const {
    for (size_t i = 0; i < basis_.size(); ++i) {
        if (p.test(pivots_[i])) {
            p = p ^ basis_[i];
        }
    }
    uint32_t index = 0;
    for (size_t i = 0; i < freeBits_.size(); ++i) {
        index |= static_cast<uint32_t>(p.test(freeBits_[i])) << i;
    }
    return index;
}

bool EndingBounds::sameClass(Bits a, Bits b) const {
    Bits d = a ^ b;
    for (size_t i = 0; i < basis_.size(); ++i) {
        if (d.test(pivots_[i])) {
            d = d ^ basis_[i];
        }
    }
    return d.empty();
}

Bits EndingBounds::permanent(Bits p) const {
    // Jumps still possible, an over-estimate that only shrinks: a slot can hold a match if it
    // holds one now or a possible jump lands on it; a match stays for good if no possible jump
    // moves it or jumps over it; a jump is possible only if its jumping and jumped slots can
    // hold matches and its landing slot is not held for good.
    thread_local std::vector<int32_t> live;
    live.resize(movers_.size());
    for (size_t j = 0; j < live.size(); ++j) {
        live[j] = static_cast<int32_t>(j);
    }
    while (true) {
        Bits canHold = p;
        Bits moving;
        for (int32_t j : live) {
            canHold = canHold | landings_[j];
            moving = moving | movers_[j];
        }
        const Bits fixed = p & complement(moving);
        size_t kept = 0;
        for (int32_t j : live) {
            const bool possible =
                (canHold & movers_[j]) == movers_[j] && (fixed & landings_[j]).empty();
            live[kept] = j;
            kept += possible;
        }
        if (kept == live.size()) {
            return fixed;
        }
        live.resize(kept);
    }
}

int32_t EndingBounds::lowest(Bits p) const {
    const Bits fixed = permanent(p);
    const int32_t stay = fixed.count();
    const Bits rest = p ^ fixed;
    // The last jump leaves its match on a slot that was empty, so not on a permanent one:
    // when anything can move, one match more than the permanent ones stays.
    int32_t more = rest.empty() ? 0 : 1;
    if (!fewestFor_.empty() && more > 0) {
        // The ending's class is p's: its matches beyond the permanent ones, at least one, add
        // up to the class of the rest.
        const uint32_t c = parityIndex(rest);
        more = std::max<int32_t>(more, c == 0 ? fewestNonEmptyZero_ : fewestFor_[c]);
    }
    return stay + more;
}

}  // namespace kvarlo::engine
