// Figures and small helpers the tests and the benchmarks share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/moves.h"

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

// A match on every slot of the board but `empty`: the densest figure with a move, far too big for
// a search to finish within a test.
inline Board fullBoardLessOne(EdgeRef empty = EdgeRef{24, 1}) {
    Board board(7, 7);
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            board.nodes[i].edges[d].hasMatch = board.slotExists(i, d) ? 1 : 0;
        }
    }
    board.slot(empty).hasMatch = 0;
    return board;
}

// The slots between the nodes within two steps of the centre, less `empty`: 41 matches, a
// compact dense figure whose layers grow about sevenfold per jump.
inline Board innerHexagon(EdgeRef empty = EdgeRef{24, 0}) {
    Board board(7, 7);
    auto inside = [](int32_t x, int32_t y) {
        const int32_t dx = x - 3, dy = y - 3;
        return std::max({std::abs(dx), std::abs(dy), std::abs(dx - dy)}) <= 2;
    };
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        const Node& n = board.nodes[i];
        for (int32_t d = 0; d < 3; ++d) {
            board.nodes[i].edges[d].hasMatch =
                board.slotExists(i, d) && inside(n.x, n.y) && inside(n.x + DX[d], n.y + DY[d]);
        }
    }
    board.slot(empty).hasMatch = 0;
    return board;
}

// The first jump the game offers, in board order: the first match marked movable and its first
// landing slot. Nothing when no match is marked movable.
inline std::optional<std::pair<EdgeRef, EdgeRef>> firstJump(const Board& board) {
    for (int32_t i = 0; i < board.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            if (!board.nodes[i].edges[d].movable) {
                continue;
            }
            Board probe(board);
            probe.clearTargets();
            markTargets(probe, i, d);
            for (int32_t j = 0; j < probe.nodeCount; ++j) {
                for (int32_t e = 0; e < 3; ++e) {
                    if (probe.nodes[j].edges[e].target) {
                        return std::pair{ref(i, d), ref(j, e)};
                    }
                }
            }
        }
    }
    return std::nullopt;
}

// Every byte of the node array, to compare whole positions with their flags.
inline std::vector<uint8_t> nodeBytes(const Board& b) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.nodes.get());
    return std::vector<uint8_t>(p, p + sizeof(Node) * b.nodeCount);
}

}  // namespace kvarlo::testing
