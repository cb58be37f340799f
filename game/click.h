// What a click on the board means in each mode.
#pragma once

#include "board/board.h"
#include "game/game.h"
#include "game/interface_state.h"
#include "view/layout.h"

namespace kvarlo {

// Resolves the pending click, if any, with the layout of the frame being drawn. Editor: the
// slot's match is switched. Game: select a movable match, drop the selection, or jump onto a
// target (recorded, with the sound). Solver: nothing. In every mode a resolved click ends the
// game when nothing is movable.
void processClick(Board& board, MoveHistory& history, GameState& state, WindowState& window,
                  const BoardLayout& layout);

}  // namespace kvarlo
