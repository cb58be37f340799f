// Every legal jump in a position, in the order the game's rule finds them.
#pragma once

#include <vector>

#include "board/board.h"
#include "board/moves.h"

namespace kvarlo::cli {

// Nodes ascending, within a node the directions 0..2, within a slot its neighbours 0..5: the
// order in which the rule marks the landing slots. Each jump is checked by the rule itself.
std::vector<MoveRecord> legalJumps(const Board& board);

}  // namespace kvarlo::cli
