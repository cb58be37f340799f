// Building the jump graph from the board, and checking symmetries.
#include "solver/engine/graph.h"

#include <algorithm>
#include <optional>

namespace kvarlo::engine {

Permutation identityPermutation() {
    Permutation p{};
    for (int32_t i = 0; i < maxSlots; ++i) {
        p[i] = static_cast<uint8_t>(i);
    }
    return p;
}

void addSymmetry(JumpGraph& graph, const Permutation& perm) {
    for (const Permutation& q : graph.symmetries) {
        if (std::equal(q.begin(), q.begin() + graph.slotCount, perm.begin())) {
            return;
        }
    }
    graph.symmetries.push_back(perm);
}

const Jump* jumpMappedOff(const std::vector<Jump>& jumps, const JumpSet& set,
                          const Permutation& perm) {
    const auto off = std::find_if(jumps.begin(), jumps.end(),
                                  [&](Jump j) { return !set.contains(applyPermutation(perm, j)); });
    return off == jumps.end() ? nullptr : &*off;
}

namespace {

// One of the hexagon's twelve symmetries in axial coordinates, about the origin: k rotations by
// 60 degrees, (x, y) -> (x - y, x), after a reflection (x, y) -> (y, x) when `reflect` is set.
void transform(int32_t k, bool reflect, int32_t& x, int32_t& y) {
    if (reflect) {
        std::swap(x, y);
    }
    for (int32_t i = 0; i < k; ++i) {
        const int32_t nx = x - y;
        y = x;
        x = nx;
    }
}

// The slot permutation of one hexagon symmetry about (2cx, 2cy) / 2, if it maps every graph
// slot onto a graph slot.
std::optional<Permutation> boardSymmetry(const Board& board, const JumpGraph& graph, int32_t cx2,
                                         int32_t cy2, int32_t k, bool reflect) {
    Permutation perm = identityPermutation();
    auto image = [&](int32_t x, int32_t y, int32_t& out) {
        // Doubled coordinates keep a half-integer centre exact.
        int32_t dx = 2 * x - cx2;
        int32_t dy = 2 * y - cy2;
        transform(k, reflect, dx, dy);
        const int32_t nx2 = dx + cx2;
        const int32_t ny2 = dy + cy2;
        if (nx2 % 2 != 0 || ny2 % 2 != 0) {
            return false;
        }
        out = board.indexOf(nx2 / 2, ny2 / 2);
        return out != -1;
    };
    for (int32_t i = 0; i < graph.slotCount; ++i) {
        const EdgeRef ref = graph.slotRefs[i];
        const Node& n = board.nodes[ref.node];
        int32_t a = -1;
        int32_t b = -1;
        if (!image(n.x, n.y, a) || !image(n.x + DX[ref.direction], n.y + DY[ref.direction], b)) {
            return std::nullopt;
        }
        EdgeRef mapped{};
        if (!board.edgeBetween(a, b, mapped, false)) {
            return std::nullopt;
        }
        const int32_t j = slotIndexOf(graph, mapped);
        if (j < 0) {
            return std::nullopt;
        }
        perm[i] = static_cast<uint8_t>(j);
    }
    return perm;
}

}  // namespace

bool closeUnderComposition(JumpGraph& graph) {
    for (size_t a = 0; a < graph.symmetries.size(); ++a) {
        for (size_t b = 0; b < graph.symmetries.size(); ++b) {
            Permutation c = identityPermutation();
            for (int32_t i = 0; i < graph.slotCount; ++i) {
                c[i] = graph.symmetries[a][graph.symmetries[b][i]];
            }
            addSymmetry(graph, c);
            if (static_cast<int32_t>(graph.symmetries.size()) > maxSymmetries) {
                return false;
            }
        }
    }
    return true;
}

int32_t slotIndexOf(const JumpGraph& graph, EdgeRef ref) {
    for (size_t i = 0; i < graph.slotRefs.size(); ++i) {
        if (graph.slotRefs[i] == ref) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

Bits applyPermutation(const Permutation& perm, Bits b, int32_t slotCount) {
    Bits r;
    forEachBit(b, [&](int32_t i) {
        if (i < slotCount) {
            r.set(perm[i]);
        }
    });
    return r;
}

MoveRecord toMoveRecord(const JumpGraph& graph, Jump j) {
    return MoveRecord{graph.slotRefs[j.from], graph.slotRefs[j.to], graph.slotRefs[j.over]};
}

bool isGraphSymmetry(const JumpGraph& graph, const Permutation& perm) {
    std::vector<bool> seen(graph.slotCount, false);
    for (int32_t i = 0; i < graph.slotCount; ++i) {
        if (perm[i] >= graph.slotCount || seen[perm[i]]) {
            return false;
        }
        seen[perm[i]] = true;
    }
    JumpSet set(graph.slotCount);
    for (const Jump j : graph.jumps) {
        set.insert(j);
    }
    return jumpMappedOff(graph.jumps, set, perm) == nullptr;
}

namespace {

// Every existing slot of an active node whose far end is active, up to maxSlots, with the
// matches on them as the start.
void addBoardSlots(const Board& board, JumpGraph& graph) {
    for (int32_t i = 0; board.isBuilt() && i < board.nodeCount; ++i) {
        if (!board.nodes[i].active) {
            continue;
        }
        for (int32_t d = 0; d < 3; ++d) {
            if (board.slotExists(i, d) && graph.slotCount < maxSlots) {
                const EdgeRef ref{static_cast<int16_t>(i), static_cast<int8_t>(d)};
                if (board.slot(ref).hasMatch) {
                    graph.start.set(graph.slotCount);
                }
                graph.slotRefs.push_back(ref);
                graph.places.push_back(SlotPlace{ref.node, ref.direction});
                ++graph.slotCount;
            }
        }
    }
    // Matches past the slot limit stay where they are; one on a slot the board lacks counts
    // nowhere, as in the game.
    graph.fixedMatches = board.countMatches() - graph.start.count();
}

// The jumps are found by the game's own rule, so the search can never disagree with the game.
// A match on a slot of direction d lands on another slot of direction d and jumps over one of
// another direction: on a scratch board with a match on every slot of the other two directions
// and none on direction d, the rule lists every jump a match on a slot of direction d can make
// in some position.
void addBoardJumps(const Board& board, JumpGraph& graph) {
    if (graph.slotCount == 0) {
        return;
    }
    std::vector<Board> scratch(3, board);
    for (int32_t d = 0; d < 3; ++d) {
        for (int32_t i = 0; i < board.nodeCount; ++i) {
            for (int32_t e = 0; e < 3; ++e) {
                scratch[d].nodes[i].edges[e].hasMatch = e != d ? 1 : 0;
            }
        }
    }
    for (int32_t from = 0; from < graph.slotCount; ++from) {
        const EdgeRef s = graph.slotRefs[from];
        forEachLanding(scratch[s.direction], s.node, s.direction, [&](EdgeRef t, EdgeRef jumped) {
            const int32_t to = slotIndexOf(graph, t);
            const int32_t over = slotIndexOf(graph, jumped);
            if (to >= 0 && over >= 0) {
                graph.jumps.push_back(Jump{static_cast<uint8_t>(from), static_cast<uint8_t>(over),
                                           static_cast<uint8_t>(to)});
            }
        });
    }
}

// The identity, then those of the hexagon's twelve symmetries about the centre of the active
// nodes that map the slots and the jumps onto themselves.
void addBoardSymmetries(const Board& board, JumpGraph& graph) {
    graph.symmetries.push_back(identityPermutation());
    // The centre of the active nodes, doubled so that it is an integer.
    int64_t sx = 0;
    int64_t sy = 0;
    int64_t n = 0;
    for (int32_t i = 0; board.isBuilt() && i < board.nodeCount; ++i) {
        if (board.nodes[i].active) {
            sx += board.nodes[i].x;
            sy += board.nodes[i].y;
            ++n;
        }
    }
    if (n > 0 && (2 * sx) % n == 0 && (2 * sy) % n == 0 && graph.slotCount > 0) {
        const int32_t cx2 = static_cast<int32_t>(2 * sx / n);
        const int32_t cy2 = static_cast<int32_t>(2 * sy / n);
        for (int32_t reflect = 0; reflect < 2; ++reflect) {
            for (int32_t k = 0; k < 6; ++k) {
                const auto perm = boardSymmetry(board, graph, cx2, cy2, k, reflect != 0);
                if (perm && isGraphSymmetry(graph, *perm)) {
                    addSymmetry(graph, *perm);
                }
            }
        }
    }
}

}  // namespace

JumpGraph graphFromBoard(const Board& board) {
    JumpGraph graph;
    addBoardSlots(board, graph);
    addBoardJumps(board, graph);
    addBoardSymmetries(board, graph);
    return graph;
}

}  // namespace kvarlo::engine
