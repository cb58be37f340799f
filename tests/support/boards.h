// Small helpers the board, game, view and solver tests share.
#pragma once

#include <cstdint>
#include <vector>

#include "board/board.h"

namespace kvarlo::testing {

inline EdgeRef ref(int32_t node, int32_t direction) {
    return EdgeRef{static_cast<int16_t>(node), static_cast<int8_t>(direction)};
}

// The 7 x 7 board with matches on the given slots.
inline Board boardWith(const std::vector<EdgeRef>& matches) {
    Board board(7, 7);
    for (EdgeRef r : matches) {
        board.slot(r).hasMatch = 1;
    }
    return board;
}

// Every byte of the node array, to compare whole positions with their flags.
inline std::vector<uint8_t> nodeBytes(const Board& b) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.nodes.get());
    return std::vector<uint8_t>(p, p + sizeof(Node) * b.nodeCount);
}

}  // namespace kvarlo::testing
