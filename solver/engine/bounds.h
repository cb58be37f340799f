// Sound lower bounds on the matches left at the end of any game from a position: matches that
// no jump can ever use again, and the parity classes that every jump preserves. Every bound
// here is a proof: no game from the position ends with fewer matches.
#pragma once

#include <cstdint>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/graph.h"

namespace kvarlo::engine {

class EndingBounds {
public:
    explicit EndingBounds(const JumpGraph& graph);

    // The matches of p that can never move nor be jumped over, whatever is played: a fixed
    // point that drops every jump that can never become legal (a jumping or jumped slot that
    // can never hold a match, a landing slot held for good) until nothing changes.
    Bits permanent(Bits p) const;

    // The fewest graph matches any game from p can end with (fixed matches not included):
    // the permanent ones, at least one more when anything can still move, and as many as the
    // parity classes demand.
    int32_t lowest(Bits p) const;

    // True when a and b are of one parity class: a game from a only ends in a's class.
    bool sameClass(Bits a, Bits b) const;

    // The number of independent parity classes (tests and notes).
    int32_t parityDimension() const { return static_cast<int32_t>(freeBits_.size()); }

private:
    // Fills basis_ and pivots_ from jumpMasks_.
    void reduceJumpMasks();
    // Fills fewestFor_ and fewestNonEmptyZero_ once the classes are known.
    void tabulateFewest(int32_t slotCount);
    // The class of a position: its reduction by the span of the jumps' slot triples, as an
    // index into fewestFor_.
    uint32_t parityIndex(Bits p) const;

    std::vector<Bits> jumpMasks_;  // per jump: its three slots
    std::vector<Bits> movers_;     // per jump: its jumping and jumped slots
    std::vector<Bits> landings_;   // per jump: its landing slot
    std::vector<Bits> basis_;      // reduced row echelon basis of the jump masks, by pivot
    std::vector<int32_t> pivots_;
    std::vector<int32_t> freeBits_;  // slots that are no pivot, the coordinates of a class
    // fewestFor_[class]: fewest slots whose classes add up to it (capped; empty when the
    // classes are too many to tabulate).
    std::vector<uint8_t> fewestFor_;
    int32_t fewestNonEmptyZero_ = 256;  // fewest slots, at least one, adding up to class 0
};

}  // namespace kvarlo::engine
