// Places the lattice on the client area and finds the slot under a client point. Drawing and
// the hit test use the same layout, computed afresh for every frame.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace kvarlo {

struct BoardLayout {
    int32_t originX;  // client position of lattice node (0, 0)
    int32_t originY;
    int32_t step;     // pixels between neighbouring nodes along a row
    int32_t rowStep;  // pixels between rows
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

inline bool operator==(ScreenPoint a, ScreenPoint b) {
    return a.x == b.x && a.y == b.y;
}

// Centres the hexagon in a client area of the given size; row 0 is the bottom row on screen.
BoardLayout computeLayout(int32_t clientWidth, int32_t clientHeight, const Board& board);

// Client position of a node, from its stored lattice coordinates.
ScreenPoint nodeScreenPosition(const Board& board, int32_t node, const BoardLayout& layout);

// The slot between the two active nodes nearest to (x, y). No hit when the nearest node is more
// than `step` away, when the two nearest are not neighbours, or (without acceptAny) when the
// slot between them does not exist. `out` counts only when the result is true.
bool hitTest(const Board& board, int32_t x, int32_t y, const BoardLayout& layout, bool acceptAny,
             EdgeRef& out);

}  // namespace kvarlo
