// Game history: new game, reset, undo, redo and going to a move.
#include "game/game.h"

#include <algorithm>

namespace kvarlo {

namespace {

// Shows a move as the suggested one: its match selected, its landing slot a target.
void hint(Board& board, EdgeRef from, EdgeRef to) {
    board.slot(from).selected = 1;
    board.slot(to).target = 1;
}

}  // namespace

void newGame(Board& board, MoveHistory& history, GameState& state, int32_t now) {
    goToMove(board, history, 0);
    history.total = 0;
    history.current = 0;
    state.gameOver = 0;
    recomputeMovable(board);
    state.initialMatches = board.countMatches();
    state.startTime = now;
}

void resetHistory(Board& board, MoveHistory& history) {
    board.clearMarks();
    history.total = 0;
    history.current = 0;
}

bool undoMove(Board& board, MoveHistory& history) {
    if (history.current <= 0) {
        return false;
    }
    --history.current;
    board.deselect();
    board.clearTargets();
    EdgeRef from{};
    EdgeRef to{};
    revertMove(board, history.records[history.current], from, to);
    recomputeMovable(board);
    hint(board, from, to);
    return true;
}

bool redoMove(Board& board, MoveHistory& history) {
    if (history.current >= history.total) {
        return false;
    }
    board.deselect();
    board.clearTargets();
    const bool hasNext = history.current + 1 < history.total;
    const MoveRecord* next = hasNext ? &history.records[history.current + 1] : nullptr;
    EdgeRef from{};
    EdgeRef to{};
    applyMove(board, history.records[history.current], next, from, to);
    recomputeMovable(board);
    if (hasNext) {
        hint(board, from, to);
    }
    ++history.current;
    return true;
}

void goToMove(Board& board, MoveHistory& history, int32_t n) {
    while (n < history.current) {
        if (!undoMove(board, history)) {
            return;
        }
    }
    while (n > history.current) {
        if (!redoMove(board, history)) {
            return;
        }
    }
}

bool installSequence(Board& board, MoveHistory& history, GameState& state,
                     std::span<const MoveRecord> moves, int32_t now) {
    if (moves.size() > history.records.size() || !isPlayableSequence(board, moves)) {
        return false;
    }
    std::copy(moves.begin(), moves.end(), history.records.begin());
    history.current = 0;
    history.total = static_cast<int32_t>(moves.size());
    state.initialMatches = board.countMatches();
    state.startTime = now;
    state.elapsedSeconds = 0;
    state.gameOver = 0;
    recomputeMovable(board);
    if (!moves.empty()) {
        hint(board, moves.front().from, moves.front().to);
    }
    return true;
}

void tickClock(GameState& state, int32_t now) {
    if (state.gameOver == 0) {
        state.elapsedSeconds = now - state.startTime;
    }
}

}  // namespace kvarlo
