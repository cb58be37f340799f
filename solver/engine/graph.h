// The jump graph the search works on: slots, the jumps between them as (from, over, to) triples,
// the symmetries that map the jump set onto itself, and the starting position. Built from the
// board through the game's own jump rule, or read from a plain-text graph file.
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

// The most jumps a graph may have. A jump passes over the slot between the two it joins, so the
// widest real graph has one jump for every ordered pair of its 128 slots. More are refused, with
// the line that goes past the limit: they describe no board anyone plays on.
inline constexpr int32_t maxGraphJumps = maxSlots * (maxSlots - 1);

// The largest graph file read. The widest real graph takes maxGraphJumps lines of at most 18
// bytes ("jump 127 126 125\r\n"), 48 symmetry lines and a start line of at most 412 bytes each,
// and 128 place lines: about 315 kB. A mebibyte leaves twice that again for comments and
// spacing; anything larger is no graph of ours.
inline constexpr size_t maxGraphFileBytes = size_t{1} << 20;

// The longest line of a graph file: the widest line, a symmetry or start listing all 128
// slots, takes 412 bytes; the rest is room for spacing and a comment.
inline constexpr size_t maxGraphLineBytes = 4096;

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

// Reads a graph file:
//   # comment               slots N            (1 <= N <= 128, first)
//   jump A B C              (from, over, to; one line per direction; each jump once; at most
//                            maxGraphJumps)
//   symmetry p0 ... pN-1    (a permutation that maps the jump set onto itself)
//   start s ...             (the slots holding a match)
//   place S CELL [PLANE]    (slot S lies on cell 0..63 of plane 0..2, default 0; optional, but
//                            then every slot needs one and no two share a place)
// A UTF-8 byte-order mark before the first line is skipped: editors that add one mean nothing by
// it. The file holds at most maxGraphFileBytes, each line at most maxGraphLineBytes.
// False with a message naming the line on any malformed input; `out` is then unchanged.
bool parseGraph(std::string_view text, JumpGraph& out, std::string& error);

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
