// The rule of the game and the primitive moves: landing slots, movable matches, the jump, and
// the 9-byte record of one jump that can be taken back and re-applied.
//
// A match on slot S (node P, forward direction d) can land on the parallel slot T of a
// neighbour Q of P when T exists and is empty and the short diagonal of the rhombus S-T is an
// existing slot with a match: either P to Q + d, or P + d to Q. The jump moves the match to T
// and removes the one on the diagonal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "board/board.h"

namespace kvarlo {

#pragma pack(push, 1)
// One jump, 9 bytes, identical in memory, game files and solution files:
//   0 from (EdgeRef)   3 to (EdgeRef)   6 jumped (EdgeRef)
struct MoveRecord {
    EdgeRef from;
    EdgeRef to;
    EdgeRef jumped;
};
#pragma pack(pop)

static_assert(sizeof(MoveRecord) == 9);
static_assert(offsetof(MoveRecord, from) == 0 && offsetof(MoveRecord, to) == 3 &&
              offsetof(MoveRecord, jumped) == 6);

inline bool operator==(const MoveRecord& a, const MoveRecord& b) {
    return a.from == b.from && a.to == b.to && a.jumped == b.jumped;
}

// Calls f(to, jumped) for every landing slot of a match on P's slot d, P's neighbours 0..5 in
// turn, with the slot it jumps over; nothing when the slot does not exist. The slot's own flags
// are not looked at. The one statement of the rule: every other listing of jumps goes through it.
void forEachLanding(const Board& board, int32_t node, int32_t direction,
                    const std::function<void(EdgeRef to, EdgeRef jumped)>& f);

// Calls f for every legal jump of the board's present position: nodes ascending, within a node
// the directions 0..2, within a slot its landings as forEachLanding finds them.
void forEachLegalJump(const Board& board, const std::function<void(const MoveRecord&)>& f);

// Marks (sets `target` on) every landing slot of the match on P's slot d and returns how many.
// Targets marked earlier stay; S's own flags are not looked at.
int32_t markTargets(Board& board, int32_t node, int32_t direction);

// Rebuilds every `movable` flag of the active nodes from scratch; afterwards nothing is selected
// and no slot is a target.
void recomputeMovable(Board& board);

// The first existing diagonal slot between `from` and `to`, in the order markTargets tries the
// two candidates. Asks only that the slot exists, not that it carries a match.
bool findJumped(const Board& board, EdgeRef from, EdgeRef to, EdgeRef& out);
// findJumped, then clears the named slot's match and marks.
bool removeJumped(Board& board, EdgeRef from, EdgeRef to, EdgeRef& out);

// Jumps the selected match onto `target` and returns the record. Refused (nullopt, nothing
// changed) unless exactly the jump the rule allows is asked for: a match is selected and
// `target` is one of its landing slots. Marks are recomputed afterwards.
std::optional<MoveRecord> performJump(Board& board, EdgeRef target);

// True when `move` is a legal jump in the board's present position.
bool isLegalJump(const Board& board, const MoveRecord& move);

// True when every record is a legal jump in turn, starting from the board's position.
bool isPlayableSequence(const Board& board, std::span<const MoveRecord> moves);

// A move record whose three references name slots of this board.
bool isValidRecord(const Board& board, const MoveRecord& move);

// The board side of undo: the match goes back from `to` to `from` and the jumped one returns.
// Touches `hasMatch` only; gives the record's from and to.
void revertMove(Board& board, const MoveRecord& move, EdgeRef& outFrom, EdgeRef& outTo);

// The board side of redo. Touches `hasMatch` only; gives the following record's from and to
// when there is one, and leaves the outs alone otherwise.
void applyMove(Board& board, const MoveRecord& move, const MoveRecord* next, EdgeRef& outFrom,
               EdgeRef& outTo);

}  // namespace kvarlo
