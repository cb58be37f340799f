// Resource functions: a weight on every slot such that no jump raises the total weight of a
// position, because every jump a -> c over b has w(c) <= w(a) + w(b) and no weight is negative.
// The total of a position then bounds the total of every position reached from it, so a group
// of matches whose total is below the weight of a slot can never put a match there. Weights are
// found per target by a small linear program in floating point and made exact before use:
// integers, checked over every jump, so rounding can never prove anything.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/graph.h"
#include "solver/engine/parts.h"

namespace kvarlo::engine {

using SlotWeights = std::vector<int64_t>;  // per slot

// True when no weight is negative and every jump of `jumps` has w(to) <= w(from) + w(over),
// checked exactly. The only gate a weight function passes before it proves anything.
bool keepsEveryJump(const std::vector<Jump>& jumps, const SlotWeights& w);

// The total weight of the matches of p.
int64_t totalWeight(const SlotWeights& w, Bits p);

// True when `w` is a resource function over `jumps` under which `group` weighs less than a
// single match on `target`: then no game of those jumps from `group` puts a match there.
bool refutes(const std::vector<Jump>& jumps, const SlotWeights& w, Bits group, int32_t target);

// The resource function over `jumps` that the linear program finds to weigh `target` most
// against `group` (at most 1), made exact and checked; nothing when there is none of weight.
std::optional<SlotWeights> programWeights(const std::vector<Jump>& jumps, int32_t slotCount,
                                          Bits group, int32_t target);

// A resource function over `jumps` that refutes a match of `group` on `target` (see refutes),
// or nothing when the linear program finds none or its answer fails the exact check.
std::optional<SlotWeights> refutingWeights(const std::vector<Jump>& jumps, int32_t slotCount,
                                           Bits group, int32_t target);

// Resource functions per slot that can refute a game ending with a single match there.
class LastMatchWeights {
public:
    // For each slot, the golden-ratio resource towards it (see SlotDistances) made exact.
    LastMatchWeights(const JumpGraph& graph, const SlotDistances& distances);

    // Adds the linear program's function towards s for `group` (see programWeights): made
    // to refute s from `group`, it holds for every position. A few milliseconds per slot.
    void addProgram(int32_t s, Bits group);

    // Adds a function for slot s; false, and nothing added, when it is no resource function
    // of the graph's jumps.
    bool add(int32_t s, SlotWeights w);

    // True when some function for s weighs `matches` below a single match on s: no game of
    // those matches ends with a match on s and nothing else of theirs.
    bool excludes(Bits matches, int32_t s) const;

    size_t functions(int32_t s) const { return bySlot_[s].size(); }

private:
    const std::vector<Jump>& jumps_;
    std::vector<std::vector<SlotWeights>> bySlot_;
};

// A smaller reach than `reach`, which must hold every slot the group can ever fill playing
// among itself over `jumps`: slots are dropped while a resource function over the jumps whose
// jumping and jumped slots stay in the reach refutes them. Those jumps only shrink as slots
// go, so a function found earlier still holds for the ones left: the first jump to land
// outside the result would raise the total of the function that dropped its landing slot.
Bits tightenedReach(const std::vector<Jump>& jumps, int32_t slotCount, Bits group, Bits reach);

}  // namespace kvarlo::engine
