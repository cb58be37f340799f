// The lattice: construction, lookups, counts, clearing and selection, and robustness against
// node records that contradict the geometry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

#include "board/board.h"
#include "support/boards.h"

namespace kvarlo {
namespace {

constexpr int32_t centre = 24;  // (3, 3) on the 7 x 7 board

int32_t countExisting(const Board& b) {
    int32_t n = 0;
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        for (const EdgeSlot& s : b.nodes[i].edges) {
            n += s.exists;
        }
    }
    return n;
}

int32_t countActive(const Board& b) {
    int32_t n = 0;
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        n += b.nodes[i].active;
    }
    return n;
}

using testing::ref;

TEST(Lattice, BoardSizesGiveTheHexagonsCountsOfNodesAndSlots) {
    struct Case {
        int32_t w, h, active, slots;
    } cases[] = {{7, 7, 37, 90}, {3, 3, 7, 12}, {2, 2, 4, 5}};
    for (const Case& c : cases) {
        Board b(c.w, c.h);
        ASSERT_TRUE(b.isBuilt()) << c.w << "x" << c.h;
        EXPECT_EQ(b.nodeCount, c.w * c.h);
        EXPECT_EQ(countActive(b), c.active) << c.w << "x" << c.h;
        EXPECT_EQ(countExisting(b), c.slots) << c.w << "x" << c.h;
        EXPECT_EQ(b.countMatches(), 0);
    }
}

TEST(Lattice, SidesBelowTwoAreNotBuiltButKeepTheirProduct) {
    for (auto [w, h] : {std::pair{1, 7}, {7, 1}, {0, 0}, {-3, 5}}) {
        Board b(w, h);
        EXPECT_FALSE(b.isBuilt());
        EXPECT_EQ(b.nodeCount, w * h);
        // Every operation copes with the missing node array.
        EdgeRef out{};
        EXPECT_EQ(b.countMatches(), 0);
        EXPECT_FALSE(b.findSelected(out));
        EXPECT_EQ(b.neighbourForward(0, 0), -1);
        b.clearMarks();
        b.clearAllMatches();
        b.deselect();
    }
}

TEST(Lattice, NodesCarryTheirCoordinatesAndTheHexagonIsActive) {
    Board b(7, 7);
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        EXPECT_EQ(b.nodes[i].x, i % 7);
        EXPECT_EQ(b.nodes[i].y, i / 7);
        EXPECT_EQ(b.nodes[i].active, std::abs(i % 7 - i / 7) <= 3 ? 1 : 0) << i;
    }
    for (auto [x, y] : {std::pair{0, 0}, {3, 0}, {0, 3}, {6, 3}, {6, 6}}) {
        EXPECT_TRUE(b.nodes[b.indexOf(x, y)].active) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{4, 0}, {0, 4}, {6, 2}}) {
        EXPECT_FALSE(b.nodes[b.indexOf(x, y)].active) << x << "," << y;
    }
    // Every existing slot joins two active nodes one forward step apart.
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            const bool joins = b.nodes[i].active && b.indexOf(i % 7 + DX[d], i / 7 + DY[d]) != -1 &&
                               b.nodes[b.indexOf(i % 7 + DX[d], i / 7 + DY[d])].active;
            EXPECT_EQ(b.nodes[i].edges[d].exists, joins ? 1 : 0) << i << "/" << d;
        }
    }
}

TEST(Lattice, NeighboursStepInTheSixDirectionsAndStopAtTheHexagon) {
    Board b(7, 7);
    EXPECT_EQ(b.neighbourForward(centre, 0), 25);
    EXPECT_EQ(b.neighbourForward(centre, 1), 32);
    EXPECT_EQ(b.neighbourForward(centre, 2), 31);
    EXPECT_EQ(b.neighbour(centre, 3), 23);
    EXPECT_EQ(b.neighbour(centre, 4), 16);
    EXPECT_EQ(b.neighbour(centre, 5), 17);
    EXPECT_EQ(b.neighbourForward(b.indexOf(6, 3), 0), -1);  // x = 7 is outside
    EXPECT_EQ(b.neighbourForward(b.indexOf(3, 0), 0), -1);  // (4, 0) is inactive
    EXPECT_EQ(b.neighbour(0, 3), -1);
    // Stepping forward and back again returns to the start wherever both ends are active.
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            const int32_t j = b.neighbour(i, d);
            if (j != -1 && b.nodes[i].active) {
                EXPECT_EQ(b.neighbour(j, d + 3), i);
            }
        }
    }
}

TEST(Lattice, EdgeBetweenNamesTheOwnerInEitherOrder) {
    Board b(7, 7);
    EdgeRef out{};
    ASSERT_TRUE(b.edgeBetween(24, 32, out, false));
    EXPECT_EQ(out, ref(24, 1));
    out = {};
    ASSERT_TRUE(b.edgeBetween(32, 24, out, false));
    EXPECT_EQ(out, ref(24, 1));

    out = ref(5, 2);
    EXPECT_FALSE(b.edgeBetween(24, 26, out, false));  // not adjacent
    EXPECT_EQ(out, ref(5, 2));
    EXPECT_FALSE(b.edgeBetween(24, -1, out, true));  // a missing end is never adjacent
    EXPECT_FALSE(b.edgeBetween(-1, 24, out, true));
    EXPECT_FALSE(b.edgeBetween(24, 49, out, true));
    EXPECT_EQ(out, ref(5, 2));
}

TEST(Lattice, EditorLookupAcceptsASlotThatDoesNotExist) {
    Board b(7, 7);
    b.nodes[24].edges[0].exists = 0;
    EdgeRef strict = ref(1, 1);
    EdgeRef any = ref(1, 1);
    EXPECT_FALSE(b.edgeBetween(24, 25, strict, false));
    EXPECT_TRUE(b.edgeBetween(25, 24, any, true));
    EXPECT_EQ(strict, ref(24, 0));  // named even though the answer is no
    EXPECT_EQ(any, ref(24, 0));
}

TEST(Lattice, SelectionIsFoundInIndexThenDirectionOrderOnActiveNodesOnly) {
    Board b(7, 7);
    EdgeRef out{};
    EXPECT_FALSE(b.findSelected(out));
    b.nodes[4].edges[0].selected = 1;  // inactive node: never found
    EXPECT_FALSE(b.findSelected(out));
    b.nodes[30].edges[0].selected = 1;
    b.nodes[24].edges[2].selected = 1;
    b.nodes[24].edges[1].selected = 1;
    ASSERT_TRUE(b.findSelected(out));
    EXPECT_EQ(out, ref(24, 1));

    b.deselect();  // only the first one goes
    ASSERT_TRUE(b.findSelected(out));
    EXPECT_EQ(out, ref(24, 2));

    b.nodes[24].edges[2].hasMatch = 1;
    b.nodes[24].edges[2].movable = 1;
    b.nodes[24].edges[2].target = 1;
    b.removeSelectedMatch();
    const EdgeSlot& s = b.nodes[24].edges[2];
    EXPECT_EQ(s.exists + s.hasMatch * 2 + s.movable * 4 + s.selected * 8 + s.target * 16, 1);
}

TEST(Lattice, RemoveSelectedMatchWithNothingSelectedChangesNothing) {
    Board b(7, 7);
    b.nodes[24].edges[0].hasMatch = 1;
    const Board before(b);
    b.removeSelectedMatch();
    b.deselect();
    EXPECT_EQ(std::memcmp(b.nodes.get(), before.nodes.get(), sizeof(Node) * 49), 0);
}

TEST(Lattice, CountsAndClearsVisitTheNodesTheyShould) {
    Board b(7, 7);
    for (EdgeSlot& s : b.nodes[4].edges) {  // an inactive node carrying flags from a file
        s.hasMatch = s.movable = s.selected = s.target = 1;
    }
    for (EdgeSlot& s : b.nodes[24].edges) {
        s.hasMatch = s.movable = s.target = 1;
    }
    EXPECT_EQ(b.countMatches(), 3);
    EXPECT_EQ(b.countMovable(), 3);

    b.clearTargets();
    EXPECT_EQ(b.nodes[4].edges[0].target, 1);
    EXPECT_EQ(b.nodes[24].edges[0].target, 0);
    EXPECT_EQ(b.nodes[24].edges[0].movable, 1);

    Board clearedMatches(b);
    clearedMatches.clearAllMatches();
    EXPECT_EQ(clearedMatches.countMatches(), 0);
    EXPECT_EQ(clearedMatches.nodes[4].edges[1].hasMatch, 1);  // inactive: untouched
    EXPECT_EQ(clearedMatches.nodes[24].edges[1].exists, 1);

    b.clearMarks();
    for (int32_t i : {4, 24}) {
        for (const EdgeSlot& s : b.nodes[i].edges) {
            EXPECT_EQ(s.movable + s.selected + s.target, 0) << i;
            EXPECT_EQ(s.hasMatch, 1) << i;
        }
    }
}

// A loaded file can hold any node record. Whatever the bytes, no lookup reads or writes outside
// the node array (the sanitizer build turns any such access into a failure).
TEST(Lattice, GarbageNodeRecordsNeverLeadOutsideTheBoard) {
    std::mt19937 random(7);
    int32_t slotsNamed = 0;
    for (int round = 0; round < 300; ++round) {
        Board b(7, 7);
        auto* bytes = reinterpret_cast<uint8_t*>(b.nodes.get());
        for (size_t i = 0; i < sizeof(Node) * 49; ++i) {
            bytes[i] = static_cast<uint8_t>(random());
        }
        for (int32_t i = -2; i < 51; ++i) {
            for (int32_t d = -1; d < 7; ++d) {
                const int32_t forward = b.neighbourForward(i, d);
                const int32_t any = b.neighbour(i, d);
                EXPECT_TRUE(forward == -1 || b.isValidNode(forward));
                EXPECT_TRUE(any == -1 || b.isValidNode(any));
                EdgeRef out{-1, -1};
                const bool named = b.edgeBetween(i, i + d, out, round % 2 == 0);
                EXPECT_TRUE(!named || b.isValidRef(out));
                slotsNamed += named;
                b.slotExists(i, d);
            }
        }
        EdgeRef out{};
        b.findSelected(out);
        b.countMatches();
        b.countMovable();
        b.removeSelectedMatch();
        b.clearAllMatches();
        b.clearMarks();
    }
    EXPECT_GT(slotsNamed, 0);  // the damaged records still name slots now and then
}

}  // namespace
}  // namespace kvarlo
