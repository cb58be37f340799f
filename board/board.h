// The lattice: a parallelogram of nodes in axial coordinates, a hexagon of them active, and one
// edge slot per forward direction at every node. Matches lie on slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kvarlo {

// Directions 0..2 step forward by (DX[d], DY[d]); 3..5 are their negations.
inline constexpr int32_t DX[3] = {1, 1, 0};
inline constexpr int32_t DY[3] = {0, 1, 1};

// The record layouts below are stored byte for byte in every document file.
#pragma pack(push, 1)

// One slot: five one-byte flags. `exists` and `hasMatch` are the position; `movable`,
// `selected` and `target` are marks derived by the jump rule and the click handling.
struct EdgeSlot {
    uint8_t exists;
    uint8_t hasMatch;
    uint8_t movable;
    uint8_t selected;
    uint8_t target;
};

// One lattice node, 18 bytes:
//   0 x (i8)  1 y (i8)  2 active (u8)  3 edges[0]  8 edges[1]  13 edges[2]
struct Node {
    int8_t x;
    int8_t y;
    uint8_t active;
    EdgeSlot edges[3];
};

// Names one slot: the owner node (the end from which the other end is a forward step) and the
// forward direction. 3 bytes: node (i16, little-endian in files), direction (i8).
struct EdgeRef {
    int16_t node;
    int8_t direction;
};

#pragma pack(pop)

static_assert(sizeof(EdgeSlot) == 5);
static_assert(offsetof(EdgeSlot, exists) == 0 && offsetof(EdgeSlot, hasMatch) == 1 &&
              offsetof(EdgeSlot, movable) == 2 && offsetof(EdgeSlot, selected) == 3 &&
              offsetof(EdgeSlot, target) == 4);
static_assert(sizeof(Node) == 18);
static_assert(offsetof(Node, x) == 0 && offsetof(Node, y) == 1 && offsetof(Node, active) == 2 &&
              offsetof(Node, edges) == 3);
static_assert(sizeof(EdgeRef) == 3);
static_assert(offsetof(EdgeRef, node) == 0 && offsetof(EdgeRef, direction) == 2);

inline bool operator==(EdgeRef a, EdgeRef b) {
    return a.node == b.node && a.direction == b.direction;
}

// The playing field. Nodes are stored in index order x + width * y. A board read from a file
// carries the file's node records as they are; every lookup reads the stored `x`, `y`, `active`
// and `exists`, yet never indexes outside the node array whatever those records hold.
class Board {
public:
    // Stores the size and builds the board; a size that cannot be built leaves `nodes` null.
    Board(int32_t width, int32_t height);
    Board(const Board& other);
    Board& operator=(const Board& other);

    // Builds the hexagon: active nodes where height + 2x - 2 width <= 2y <= height + 2x, and
    // `exists` on every slot of an active node whose forward neighbour is active. False (and no
    // nodes) for a width or height below 2, or one too large for the 8-bit node coordinates.
    bool init();

    // x + width * y, or -1 outside the board. Does not look at `active`.
    int32_t indexOf(int32_t x, int32_t y) const;
    // The active node one forward step (direction 0..2) from the node's stored coordinates, or -1.
    int32_t neighbourForward(int32_t node, int32_t direction) const;
    // The active neighbour in direction 0..5, or -1. Backward steps start from the index.
    int32_t neighbour(int32_t node, int32_t direction) const;
    // Names the slot between adjacent nodes a and b (in either order). True when acceptAny is
    // set, otherwise the slot's `exists` flag; false without touching `out` when a and b are not
    // adjacent or not valid node indices.
    bool edgeBetween(int32_t a, int32_t b, EdgeRef& out, bool acceptAny) const;

    // Over the slots that exist (slotExists): a match or mark a file left on a slot the board
    // lacks is no part of the position and is not counted.
    int32_t countMatches() const;
    int32_t countMovable() const;

    void clearAllMatches();  // active nodes: hasMatch and the marks
    void clearMarks();       // every node: movable, selected, target
    void clearTargets();     // active nodes: target

    // The first selected slot of an active node in index, then direction, order.
    bool findSelected(EdgeRef& out) const;
    void deselect();
    void removeSelectedMatch();

    // A slot that is really part of the board: its node is active, its `exists` flag is set and
    // its far end is an active node. A stored `exists` with a missing far end (only a file can hold
    // one) counts as absent.
    bool slotExists(int32_t node, int32_t direction) const;

    bool isBuilt() const { return nodes != nullptr; }
    bool isValidNode(int32_t node) const { return nodes && node >= 0 && node < nodeCount; }
    bool isValidRef(EdgeRef ref) const {
        return isValidNode(ref.node) && ref.direction >= 0 && ref.direction < 3;
    }
    // The slot a reference names; the reference must be valid.
    EdgeSlot& slot(EdgeRef ref) { return nodes[ref.node].edges[ref.direction]; }
    const EdgeSlot& slot(EdgeRef ref) const { return nodes[ref.node].edges[ref.direction]; }

    int32_t width;
    int32_t height;
    int32_t nodeCount;
    std::unique_ptr<Node[]> nodes;

private:
    bool isActive(int32_t node) const { return nodes[node].active != 0; }
};

}  // namespace kvarlo
