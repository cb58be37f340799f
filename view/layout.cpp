// Board layout and hit test.
#include "view/layout.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "board/fixed_array.h"

namespace kvarlo {

namespace {

// The row pitch factor is exactly this value, not the square root of 3 over 2: every
// position on screen, and so every hit, follows from it.
constexpr double rowFactor = 0.866;

struct NodeDistance {
    int32_t node;
    int32_t squaredDistance;
};

int compareDistance(const void* a, const void* b) {
    const int32_t da = static_cast<const NodeDistance*>(a)->squaredDistance;
    const int32_t db = static_cast<const NodeDistance*>(b)->squaredDistance;
    return (da > db) - (da < db);
}

// (px - sx)^2 + (py - sy)^2, held at the largest 32-bit value instead of overflowing for points
// far outside any real client area.
int32_t squaredDistance(int32_t px, int32_t py, ScreenPoint s) {
    const int64_t dx = static_cast<int64_t>(px) - s.x;
    const int64_t dy = static_cast<int64_t>(py) - s.y;
    return static_cast<int32_t>(std::min<int64_t>(dx * dx + dy * dy, INT32_MAX));
}

}  // namespace

BoardLayout computeLayout(int32_t clientWidth, int32_t clientHeight, const Board& board) {
    const int32_t columns = board.width - 1;
    const int32_t rows = board.height - 1;
    const double fitX = static_cast<double>(clientWidth) / columns;
    const double fitY = clientHeight / (rows * rowFactor);
    const double fit = fitX < fitY ? fitX : fitY;

    BoardLayout layout{};
    layout.step = static_cast<int32_t>(fit * 0.8);
    layout.rowStep = static_cast<int32_t>(layout.step * rowFactor);
    layout.originX = ((rows * layout.step) / 2 - columns * layout.step + clientWidth) / 2;
    layout.originY = (rows * layout.rowStep + clientHeight) / 2;
    return layout;
}

ScreenPoint nodeScreenPosition(const Board& board, int32_t node, const BoardLayout& layout) {
    const int32_t x = board.nodes[node].x;
    const int32_t y = board.nodes[node].y;
    return ScreenPoint{x * layout.step - (y * layout.step) / 2 + layout.originX,
                       layout.originY - y * layout.rowStep};
}

bool hitTest(const Board& board, int32_t x, int32_t y, const BoardLayout& layout, bool acceptAny,
             EdgeRef& out) {
    if (!board.isBuilt()) {
        return false;
    }
    const uint32_t count = static_cast<uint32_t>(board.nodeCount);
    FixedArray<NodeDistance> table(count);
    for (int32_t row = 0; row < board.height; ++row) {
        for (int32_t column = 0; column < board.width; ++column) {
            const int32_t i = board.width * row + column;
            table[i].node = i;
            table[i].squaredDistance =
                board.nodes[i].active ? squaredDistance(x, y, nodeScreenPosition(board, i, layout))
                                      : INT32_MAX;
        }
    }
    std::qsort(table.data(), count, sizeof(NodeDistance), compareDistance);

    const int64_t limit = static_cast<int64_t>(layout.step) * layout.step;
    if (count < 2 || table[0].squaredDistance > limit) {
        return false;
    }
    return board.edgeBetween(table[0].node, table[1].node, out, acceptAny);
}

}  // namespace kvarlo
