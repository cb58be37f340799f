// The lattice: construction, lookups, counts and the clearing and selection operations.
#include "board/board.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kvarlo {

namespace {
// Node coordinates are stored as signed bytes, so no board may be wider or taller than this.
constexpr int32_t maxSide = 128;
}  // namespace

Board::Board(int32_t w, int32_t h) : width(w), height(h), nodeCount(0) {
    init();
}

Board::Board(const Board& other)
    : width(other.width), height(other.height), nodeCount(other.nodeCount) {
    if (other.nodes) {
        nodes.reset(new Node[nodeCount]);
        std::memcpy(nodes.get(), other.nodes.get(), sizeof(Node) * nodeCount);
    }
}

Board& Board::operator=(const Board& other) {
    if (this != &other) {
        Board copy(other);
        width = copy.width;
        height = copy.height;
        nodeCount = copy.nodeCount;
        nodes = std::move(copy.nodes);
    }
    return *this;
}

bool Board::init() {
    nodes.reset();
    // Formed without overflow; a product that does not fit is refused below anyway.
    nodeCount = static_cast<int32_t>(static_cast<int64_t>(width) * height);
    if (width < 2 || height < 2 || width > maxSide || height > maxSide) {
        return false;
    }
    nodes.reset(new (std::nothrow) Node[nodeCount]());
    if (!nodes) {
        return false;
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            Node& node = nodes[x + width * y];
            node.x = static_cast<int8_t>(x);
            node.y = static_cast<int8_t>(y);
            node.active = (height + 2 * x - 2 * width <= 2 * y && 2 * y <= height + 2 * x) ? 1 : 0;
        }
    }
    for (int32_t i = 0; i < nodeCount; ++i) {
        if (!isActive(i)) {
            continue;
        }
        for (int32_t d = 0; d < 3; ++d) {
            if (neighbourForward(i, d) != -1) {
                nodes[i].edges[d].exists = 1;
            }
        }
    }
    return true;
}

int32_t Board::indexOf(int32_t x, int32_t y) const {
    if (x < 0 || x > width - 1 || y < 0 || y > height - 1) {
        return -1;
    }
    return x + width * y;
}

int32_t Board::neighbourForward(int32_t node, int32_t direction) const {
    if (!isValidNode(node) || direction < 0 || direction > 2) {
        return -1;
    }
    // The stored coordinates decide. Forward steps from a well-formed node never go negative,
    // but a record read from a file may hold negative coordinates, hence indexOf's full test.
    const int32_t next = indexOf(nodes[node].x + DX[direction], nodes[node].y + DY[direction]);
    if (next == -1 || !isActive(next)) {
        return -1;
    }
    return next;
}

int32_t Board::neighbour(int32_t node, int32_t direction) const {
    if (direction < 3) {
        return neighbourForward(node, direction);
    }
    if (!isValidNode(node) || direction > 5) {
        return -1;
    }
    const int32_t x = node % width - DX[direction - 3];
    const int32_t y = node / width - DY[direction - 3];
    const int32_t next = indexOf(x, y);
    if (next == -1 || !isActive(next)) {
        return -1;
    }
    return next;
}

bool Board::edgeBetween(int32_t a, int32_t b, EdgeRef& out, bool acceptAny) const {
    // A missing far end (-1) is never adjacent to anything.
    if (!isValidNode(a) || !isValidNode(b)) {
        return false;
    }
    for (int32_t d = 0; d < 3; ++d) {
        int32_t owner = -1;
        if (neighbourForward(a, d) == b) {
            owner = a;
        } else if (neighbourForward(b, d) == a) {
            owner = b;
        }
        if (owner != -1) {
            out = EdgeRef{static_cast<int16_t>(owner), static_cast<int8_t>(d)};
            return acceptAny || nodes[owner].edges[d].exists != 0;
        }
    }
    return false;
}

bool Board::slotExists(int32_t node, int32_t direction) const {
    return isValidNode(node) && direction >= 0 && direction < 3 && isActive(node) &&
           nodes[node].edges[direction].exists != 0 && neighbourForward(node, direction) != -1;
}

int32_t Board::countMatches() const {
    int32_t count = 0;
    for (int32_t i = 0; nodes && i < nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            count += nodes[i].edges[d].hasMatch != 0 && slotExists(i, d);
        }
    }
    return count;
}

int32_t Board::countMovable() const {
    int32_t count = 0;
    for (int32_t i = 0; nodes && i < nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            count += nodes[i].edges[d].movable != 0 && slotExists(i, d);
        }
    }
    return count;
}

void Board::clearAllMatches() {
    for (int32_t i = 0; nodes && i < nodeCount; ++i) {
        if (isActive(i)) {
            for (EdgeSlot& s : nodes[i].edges) {
                s.hasMatch = s.movable = s.selected = s.target = 0;
            }
        }
    }
}

void Board::clearMarks() {
    for (int32_t i = 0; nodes && i < nodeCount; ++i) {
        for (EdgeSlot& s : nodes[i].edges) {
            s.movable = s.selected = s.target = 0;
        }
    }
}

void Board::clearTargets() {
    for (int32_t i = 0; nodes && i < nodeCount; ++i) {
        if (isActive(i)) {
            for (EdgeSlot& s : nodes[i].edges) {
                s.target = 0;
            }
        }
    }
}

bool Board::findSelected(EdgeRef& out) const {
    for (int32_t i = 0; nodes && i < nodeCount; ++i) {
        if (!isActive(i)) {
            continue;
        }
        for (int32_t d = 0; d < 3; ++d) {
            if (nodes[i].edges[d].selected != 0) {
                out = EdgeRef{static_cast<int16_t>(i), static_cast<int8_t>(d)};
                return true;
            }
        }
    }
    return false;
}

void Board::deselect() {
    EdgeRef ref{};
    if (findSelected(ref)) {
        slot(ref).selected = 0;
    }
}

void Board::removeSelectedMatch() {
    EdgeRef ref{};
    if (findSelected(ref)) {
        EdgeSlot& s = slot(ref);
        s.hasMatch = s.movable = s.selected = s.target = 0;
    }
}

}  // namespace kvarlo
