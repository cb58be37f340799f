// The walk back from a dead end to the start through the stored layers: the jump sequence the
// solution shows.
#include "solver/engine/layers.h"

namespace kvarlo::engine {

std::optional<std::vector<Jump>> LayeredSearch::sequenceTo(int32_t matches) const {
    if (matches < 0 || matches >= static_cast<int32_t>(deadEnds_.size()) || !deadEnds_[matches]) {
        return std::nullopt;
    }
    const int32_t layer = graph_.start.count() - (matches - graph_.fixedMatches);
    Bits q = *deadEnds_[matches];
    std::vector<Jump> backwards;
    // Walk back: an un-jump whose result lies in the layer before always exists, since some
    // member of q's class was reached through a member of that layer's class.
    for (int32_t k = layer; k > 0; --k) {
        bool found = false;
        for (size_t j = 0; j < graph_.jumps.size(); ++j) {
            // A jump flips its three slots, so the position before it is the one after it
            // undone by the same flip, and the jump must have been legal there.
            const Jump& jump = graph_.jumps[j];
            const Bits before = afterJump(q, jump);
            if (canJump(before, jump) && layerContains(k - 1, before)) {
                backwards.push_back(jump);
                q = before;
                found = true;
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
    }
    // q is an image of the start; the symmetry that takes it there takes the whole walk to a
    // sequence that starts from the real start.
    for (int32_t g = 0; g < symmetryCount_; ++g) {
        const Permutation& perm = graph_.symmetries[g];
        if (applyPermutation(perm, q, graph_.slotCount) != graph_.start) {
            continue;
        }
        std::vector<Jump> sequence;
        Bits p = graph_.start;
        for (auto it = backwards.rbegin(); it != backwards.rend(); ++it) {
            const Jump jump = applyPermutation(perm, *it);
            if (!canJump(p, jump)) {
                return std::nullopt;
            }
            p = afterJump(p, jump);
            sequence.push_back(jump);
        }
        return sequence;
    }
    return std::nullopt;
}

}  // namespace kvarlo::engine
