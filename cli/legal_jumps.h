// Every legal jump in a position, in the order the game's rule finds them.
#pragma once

#include <vector>

#include "board/board.h"
#include "board/moves.h"

namespace kvarlo::cli {

// In the order forEachLegalJump finds them: nodes ascending, within a node the directions 0..2,
// within a slot its neighbours 0..5.
std::vector<MoveRecord> legalJumps(const Board& board);

}  // namespace kvarlo::cli
