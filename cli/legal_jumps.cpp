// Listing the legal jumps through the game's own rule.
#include "cli/legal_jumps.h"

namespace kvarlo::cli {

std::vector<MoveRecord> legalJumps(const Board& board) {
    std::vector<MoveRecord> jumps;
    for (int32_t node = 0; board.isBuilt() && node < board.nodeCount; ++node) {
        for (int32_t d = 0; d < 3; ++d) {
            const EdgeRef from{static_cast<int16_t>(node), static_cast<int8_t>(d)};
            for (int32_t k = 0; k < 6; ++k) {
                const int32_t landing = board.neighbour(node, k);
                if (landing == -1) {
                    continue;
                }
                const EdgeRef to{static_cast<int16_t>(landing), static_cast<int8_t>(d)};
                EdgeRef jumped{};
                if (findJumped(board, from, to, jumped) &&
                    isLegalJump(board, MoveRecord{from, to, jumped})) {
                    jumps.push_back(MoveRecord{from, to, jumped});
                }
            }
        }
    }
    return jumps;
}

}  // namespace kvarlo::cli
