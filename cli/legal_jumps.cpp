// Listing the legal jumps through the game's own rule.
#include "cli/legal_jumps.h"

namespace kvarlo::cli {

std::vector<MoveRecord> legalJumps(const Board& board) {
    std::vector<MoveRecord> jumps;
    forEachLegalJump(board, [&](const MoveRecord& jump) { jumps.push_back(jump); });
    return jumps;
}

}  // namespace kvarlo::cli
