// A jump sequence of the engine played back on the Board with the game's own rule.
#pragma once

#include <cstdint>
#include <vector>

#include "board/board.h"
#include "board/moves.h"
#include "solver/brute_force.h"
#include "solver/engine/graph.h"

namespace kvarlo::engine {

// Plays a graph jump sequence on the board with the game's rule; the matches left, or -1 when
// a jump is illegal or the end is not a dead end.
inline int32_t replayedEnding(const Board& board, const JumpGraph& graph,
                              const std::vector<Jump>& jumps) {
    Board replay(board);
    for (const Jump& j : jumps) {
        const MoveRecord m = toMoveRecord(graph, j);
        if (!isLegalJump(replay, m)) {
            return -1;
        }
        testing::play(replay, m);
    }
    return testing::legalJumps(replay).empty() ? replay.countMatches() : -1;
}

}  // namespace kvarlo::engine
