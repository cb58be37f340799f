// How kvarlo-cli prints moves: as JSON arrays and as text.
#pragma once

#include <string>
#include <vector>

#include "board/moves.h"

namespace kvarlo::cli {

// [fromNode, fromDir, toNode, toDir, jumpedNode, jumpedDir]
std::string jsonMove(const MoveRecord& move);
// An array of jsonMove entries, all on one line.
std::string jsonMoves(const MoveRecord* moves, size_t count);
inline std::string jsonMoves(const std::vector<MoveRecord>& moves) {
    return jsonMoves(moves.data(), moves.size());
}
// (fromNode,fromDir) -> (toNode,toDir) over (jumpedNode,jumpedDir)
std::string textMove(const MoveRecord& move);

}  // namespace kvarlo::cli
