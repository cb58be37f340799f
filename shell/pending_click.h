// The paint handler's first step: a press recorded by the window becomes a click on a slot.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "game/click.h"
#include "game/game.h"
#include "game/interface_state.h"

namespace kvarlo {

// A pending left press is resolved with the layout of a client area of width x height, the
// frame about to be drawn, so it means the slot the player sees under the pointer; it waits
// while the board is hidden. Returns what the click did: nothing when none was pending or the
// press missed every slot. The window plays the outcome's sound.
ClickOutcome resolvePendingClick(Board& board, MoveHistory& history, GameState& game,
                                 WindowState& window, int32_t width, int32_t height, int32_t time);

}  // namespace kvarlo
