// The jump rule and the primitive moves on the board.
#include "board/moves.h"

namespace kvarlo {

namespace {

// The diagonal of the rhombus between P's slot d and the parallel slot of neighbour Q, when it
// exists and carries a match: first the candidate P to Q + d, then P + d to Q. At most one of
// the two is ever a lattice edge.
bool matchedDiagonal(const Board& board, int32_t p, int32_t d, int32_t q, EdgeRef& diagonal) {
    EdgeRef e{};
    if (board.edgeBetween(p, board.neighbourForward(q, d), e, false) && board.slot(e).hasMatch) {
        diagonal = e;
        return true;
    }
    if (board.edgeBetween(board.neighbourForward(p, d), q, e, false) && board.slot(e).hasMatch) {
        diagonal = e;
        return true;
    }
    return false;
}

// Q's slot in direction d is a place a match can land.
bool openLanding(const Board& board, int32_t q, int32_t d) {
    return board.slotExists(q, d) && !board.nodes[q].edges[d].hasMatch;
}

}  // namespace

void forEachLanding(const Board& board, int32_t node, int32_t direction,
                    const std::function<void(EdgeRef to, EdgeRef jumped)>& f) {
    // A match on a slot the board lacks (a stored `exists` with no active far end) is no part
    // of the position: it never moves.
    if (!board.slotExists(node, direction)) {
        return;
    }
    for (int32_t k = 0; k < 6; ++k) {
        const int32_t q = board.neighbour(node, k);
        if (q == -1 || !openLanding(board, q, direction)) {
            continue;
        }
        EdgeRef diagonal{};
        if (matchedDiagonal(board, node, direction, q, diagonal)) {
            f(EdgeRef{static_cast<int16_t>(q), static_cast<int8_t>(direction)}, diagonal);
        }
    }
}

void forEachLegalJump(const Board& board, const std::function<void(const MoveRecord&)>& f) {
    for (int32_t node = 0; board.isBuilt() && node < board.nodeCount; ++node) {
        for (int32_t d = 0; d < 3; ++d) {
            if (!board.nodes[node].edges[d].hasMatch) {
                continue;
            }
            const EdgeRef from{static_cast<int16_t>(node), static_cast<int8_t>(d)};
            forEachLanding(board, node, d, [&](EdgeRef to, EdgeRef jumped) {
                f(MoveRecord{from, to, jumped});
            });
        }
    }
}

int32_t markTargets(Board& board, int32_t node, int32_t direction) {
    int32_t count = 0;
    forEachLanding(board, node, direction, [&](EdgeRef to, EdgeRef) {
        board.slot(to).target = 1;
        ++count;
    });
    return count;
}

void recomputeMovable(Board& board) {
    board.deselect();
    board.clearTargets();
    for (int32_t i = 0; board.nodes && i < board.nodeCount; ++i) {
        if (!board.nodes[i].active) {
            continue;
        }
        for (int32_t d = 0; d < 3; ++d) {
            EdgeSlot& s = board.nodes[i].edges[d];
            if (s.hasMatch && board.slotExists(i, d)) {
                s.movable = markTargets(board, i, d) > 0 ? 1 : 0;
            } else {
                s.movable = 0;
            }
        }
    }
    board.clearTargets();
}

bool findJumped(const Board& board, EdgeRef from, EdgeRef to, EdgeRef& out) {
    if (board.edgeBetween(from.node, board.neighbourForward(to.node, to.direction), out, false)) {
        return true;
    }
    return board.edgeBetween(board.neighbourForward(from.node, from.direction), to.node, out,
                             false);
}

bool removeJumped(Board& board, EdgeRef from, EdgeRef to, EdgeRef& out) {
    if (!findJumped(board, from, to, out)) {
        return false;
    }
    EdgeSlot& s = board.slot(out);
    s.hasMatch = s.movable = s.selected = s.target = 0;
    return true;
}

bool isValidRecord(const Board& board, const MoveRecord& move) {
    return board.isValidRef(move.from) && board.isValidRef(move.to) &&
           board.isValidRef(move.jumped);
}

bool isLegalJump(const Board& board, const MoveRecord& move) {
    if (!isValidRecord(board, move) || move.from.direction != move.to.direction ||
        !board.slot(move.from).hasMatch) {
        return false;
    }
    bool found = false;
    forEachLanding(board, move.from.node, move.from.direction, [&](EdgeRef to, EdgeRef jumped) {
        found = found || (to == move.to && jumped == move.jumped);
    });
    return found;
}

bool isPlayableSequence(const Board& board, std::span<const MoveRecord> moves) {
    Board replay(board);
    for (const MoveRecord& m : moves) {
        if (!isLegalJump(replay, m)) {
            return false;
        }
        EdgeRef from{};
        EdgeRef to{};
        applyMove(replay, m, nullptr, from, to);
    }
    return true;
}

std::optional<MoveRecord> performJump(Board& board, EdgeRef target) {
    EdgeRef from{0, 0};
    if (!board.isValidRef(target) || !board.slot(target).target || !board.findSelected(from)) {
        return std::nullopt;
    }
    // Marks can come from a file as they were saved, so the target is checked against the rule
    // itself: a stray mark must never move a match where no jump leads.
    EdgeRef jumped{0, 0};
    if (!findJumped(board, from, target, jumped) ||
        !isLegalJump(board, MoveRecord{from, target, jumped})) {
        return std::nullopt;
    }
    board.slot(target).hasMatch = 1;
    removeJumped(board, from, target, jumped);
    board.removeSelectedMatch();
    recomputeMovable(board);
    return MoveRecord{from, target, jumped};
}

void revertMove(Board& board, const MoveRecord& move, EdgeRef& outFrom, EdgeRef& outTo) {
    board.slot(move.to).hasMatch = 0;
    board.slot(move.from).hasMatch = 1;
    board.slot(move.jumped).hasMatch = 1;
    outFrom = move.from;
    outTo = move.to;
}

void applyMove(Board& board, const MoveRecord& move, const MoveRecord* next, EdgeRef& outFrom,
               EdgeRef& outTo) {
    board.slot(move.to).hasMatch = 1;
    board.slot(move.from).hasMatch = 0;
    board.slot(move.jumped).hasMatch = 0;
    if (next) {
        outFrom = next->from;
        outTo = next->to;
    }
}

}  // namespace kvarlo
