// The jump graph the search works on: slots, the jumps between them as (from, over, to) triples,
// the symmetries that map the jump set onto itself, and the starting position. Built from the
// board through the game's own jump rule, or read from a plain-text graph file (graph_file.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "board/moves.h"
#include "solver/engine/bits.h"

namespace kvarlo::engine {

struct Jump {
    uint8_t from;
    uint8_t over;
    uint8_t to;
};

inline bool operator==(Jump a, Jump b) {
    return a.from == b.from && a.over == b.over && a.to == b.to;
}

// The fewest matches at the end of a game, before any game has been seen to its end.
inline constexpr int32_t noResult = -1;

// The jump rule on a position: the jumping match and the one it jumps over are there, the slot
// it lands on is empty.
inline bool canJump(Bits p, Jump j) {
    return p.test(j.from) && p.test(j.over) && !p.test(j.to);
}

// The position after a legal jump: the match leaves `from`, the one on `over` is removed, a
// match lands on `to`.
inline Bits afterJump(Bits p, Jump j) {
    return p ^ Bits::bit(j.from) ^ Bits::bit(j.over) ^ Bits::bit(j.to);
}

// More symmetries than the hexagon's twelve only slow the canonical form down; a graph file
// whose permutations generate more is refused.
inline constexpr int32_t maxSymmetries = 48;

// A permutation of the slots: slot i goes to perm[i].
using Permutation = std::array<uint8_t, maxSlots>;

// Where a slot lies for the search's jump families: a cell of one of three planes of 64 cells.
// Jumps whose slots are the same cell offsets apart on the same planes are translations of one
// another, and the search tests each such family for every cell at once.
struct SlotPlace {
    int16_t cell;
    int8_t plane;
};

inline bool operator==(SlotPlace a, SlotPlace b) {
    return a.cell == b.cell && a.plane == b.plane;
}

struct JumpGraph {
    int32_t slotCount = 0;
    std::vector<Jump> jumps;  // in the order the rule finds them
    // Every entry maps the slots and the jump set onto themselves; the identity comes first.
    std::vector<Permutation> symmetries;
    Bits start;
    // Matches that lie outside the graph (a stored slot whose far end is missing): they never
    // move and are never jumped, but they stay on the board at the end of every game.
    int32_t fixedMatches = 0;
    // For a graph built from a board: the board slot of each graph slot. Empty for a graph
    // file, which is how a graph tells it was not built from the board.
    std::vector<EdgeRef> slotRefs;
    // The place of each slot (its node and direction on a board), or empty when the slots have
    // none. The search uses them only when every slot has a place of its own within the planes.
    std::vector<SlotPlace> places;

    int32_t startMatches() const { return start.count() + fixedMatches; }
};

// The graph of the board's present position: every existing slot of an active node whose far
// end is active, and every jump the board's rule allows between them. Symmetries: those of the
// hexagon's twelve (about the centre of the active nodes) that map the slots and the jumps onto
// themselves.
JumpGraph graphFromBoard(const Board& board);

// The graph slot of a board slot, or -1.
int32_t slotIndexOf(const JumpGraph& graph, EdgeRef ref);

// The permutation that moves no slot.
Permutation identityPermutation();

// Adds a symmetry unless it is already listed.
void addSymmetry(JumpGraph& graph, const Permutation& perm);

// The jumps of a graph as one bit for each jump its slots could make, so that finding one is a
// single look-up however many there are.
class JumpSet {
public:
    explicit JumpSet(int32_t slotCount = 0)
        : slots_(static_cast<size_t>(slotCount)), bits_(slots_ * slots_ * slots_, false) {}

    bool contains(Jump j) const { return bits_[key(j)]; }
    // False when the jump was there already.
    bool insert(Jump j) {
        if (contains(j)) {
            return false;
        }
        bits_[key(j)] = true;
        return true;
    }

private:
    size_t key(Jump j) const { return (j.from * slots_ + j.over) * slots_ + j.to; }

    size_t slots_;
    std::vector<bool> bits_;
};

// The first jump that a permutation of the slots takes to no jump of `set`, or null. A
// permutation maps a set of different jumps onto itself exactly when there is none: no two
// jumps are the same, so no two images are.
const Jump* jumpMappedOff(const std::vector<Jump>& jumps, const JumpSet& set,
                          const Permutation& perm);

// Adds every composition of the listed symmetries; false when there would be more than
// maxSymmetries.
bool closeUnderComposition(JumpGraph& graph);

// True when `perm` is a permutation of the graph's slots that maps its jump set onto itself.
bool isGraphSymmetry(const JumpGraph& graph, const Permutation& perm);

// The image of a position, of a jump, under a permutation.
Bits applyPermutation(const Permutation& perm, Bits b, int32_t slotCount);
inline Jump applyPermutation(const Permutation& perm, Jump j) {
    return Jump{perm[j.from], perm[j.over], perm[j.to]};
}

// The record of a graph jump on the board it was built from.
MoveRecord toMoveRecord(const JumpGraph& graph, Jump j);

}  // namespace kvarlo::engine
