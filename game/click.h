// What a click on a board slot means in each mode.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "game/game.h"
#include "game/interface_state.h"

namespace kvarlo {

// What a resolved click did, for the window to answer.
struct ClickOutcome {
    bool jumped = false;          // a jump was made and recorded
    const char* sound = nullptr;  // a WAVE file (current folder) to play for it, or none
};

// Resolves a click on `slot`, the slot the hit test found under the press, at calendar time
// `now`. Editor: the slot's match is switched. Game: select a movable match, drop the
// selection, or jump onto a target (recorded, and heard). Solver: nothing. In every mode a
// resolved click ends the game when nothing is movable.
ClickOutcome processClick(Board& board, MoveHistory& history, GameState& state, AppMode mode,
                          EdgeRef slot, int32_t now);

}  // namespace kvarlo
