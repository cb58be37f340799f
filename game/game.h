// The game being played on the board: its move history with undo, redo and going to a move,
// the clock, and the end of the game.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "board/board.h"
#include "board/moves.h"

namespace kvarlo {

// A game on the 7 x 7 board has at most 89 jumps; the history (and the files) hold 148.
inline constexpr int32_t historyCapacity = 148;

struct MoveHistory {
    std::array<MoveRecord, historyCapacity> records{};  // from `total` on: stale, never read
    int32_t current = 0;  // moves made; where the next jump is written
    int32_t total = 0;    // valid records; the redo limit
};

struct GameState {
    int32_t initialMatches = 0;  // matches at move 0
    int32_t startTime = 0;       // calendar seconds from which the game's time counts
    int32_t elapsedSeconds = 0;  // frozen while the game is over
    int32_t gameOver = 0;        // 1 once no match is movable after a resolved click
};

// Restarts the current figure: back to move 0, history forgotten, marks fresh, the clock
// restarted at calendar time `now`.
void newGame(Board& board, MoveHistory& history, GameState& state, int32_t now);

// Makes the present position the new start: marks cleared, history emptied; the matches, the
// clock and the game's end are kept.
void resetHistory(Board& board, MoveHistory& history);

// Takes back the last move made and hints it (its from selected, its to a target).
bool undoMove(Board& board, MoveHistory& history);

// Re-applies the next move and hints the one after it, if any.
bool redoMove(Board& board, MoveHistory& history);

// Undoes or redoes until `current` is n (or the history runs out).
void goToMove(Board& board, MoveHistory& history, int32_t n);

// Makes `moves` the game's history, to be stepped through from the present position. When the
// sequence does not fit the history or a record is not a legal jump in turn (the board changed
// since the sequence was found), nothing changes and the result is false. Otherwise the history
// holds the moves at move 0, the game starts anew at calendar time `now` with the board's
// matches, the marks are fresh and the first move is hinted as after an undo.
bool installSequence(Board& board, MoveHistory& history, GameState& state,
                     std::span<const MoveRecord> moves, int32_t now);

// Brings the game's time up to calendar time `now` while the game runs; once it is over the
// time stands still.
void tickClock(GameState& state, int32_t now);

}  // namespace kvarlo
