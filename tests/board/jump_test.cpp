// The jump rule: landing slots, movable matches, the jump itself and its record, undo and redo
// on the board, checked on worked positions and against an independent statement of the rule.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "board/jump_oracle.h"
#include "board/moves.h"
#include "support/boards.h"

namespace kvarlo {
namespace {

using testing::Jump;

using testing::boardWith;
using testing::ref;

std::vector<EdgeRef> targetsOf(Board b, EdgeRef s) {
    b.clearTargets();
    markTargets(b, s.node, s.direction);
    std::vector<EdgeRef> out;
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        for (int32_t d = 0; d < 3; ++d) {
            if (b.nodes[i].edges[d].target) {
                out.push_back(ref(i, d));
            }
        }
    }
    return out;
}

// Every legal jump as the board lists them, checking on the way that the listing runs through
// the slots in order: nodes ascending, then directions.
std::set<Jump> ruleJumps(const Board& board) {
    std::set<Jump> jumps;
    int32_t lastFrom = -1;
    forEachLegalJump(board, [&](const MoveRecord& m) {
        const int32_t from = m.from.node * 3 + m.from.direction;
        EXPECT_GE(from, lastFrom);
        lastFrom = from;
        // The record is packed: its fields are copied out, never bound to references.
        jumps.insert(Jump(int{m.from.node}, int{m.from.direction}, int{m.to.node},
                          int{m.to.direction}, int{m.jumped.node}, int{m.jumped.direction}));
    });
    return jumps;
}

// Matches on slots with two active ends, by the oracle's own reading of the lattice.
int32_t presentMatches(const Board& b) {
    int32_t count = 0;
    for (int32_t y = 0; y < b.height; ++y) {
        for (int32_t x = 0; x < b.width; ++x) {
            for (int32_t d = 0; d < 3; ++d) {
                const int32_t far = b.indexOf(x + DX[d], y + DY[d]);
                const Node& n = b.nodes[x + b.width * y];
                count += n.active && far != -1 && b.nodes[far].active && n.edges[d].exists &&
                         n.edges[d].hasMatch;
            }
        }
    }
    return count;
}

std::vector<uint8_t> matchBits(const Board& b) {
    std::vector<uint8_t> bits;
    for (int32_t i = 0; i < b.nodeCount; ++i) {
        for (const EdgeSlot& s : b.nodes[i].edges) {
            bits.push_back(s.hasMatch);
        }
    }
    return bits;
}

TEST(Jumps, TwoMatchesAtAnAngleCanEachJumpTheOther) {
    Board b = boardWith({ref(24, 0), ref(24, 1)});
    EXPECT_EQ(targetsOf(b, ref(24, 0)), std::vector<EdgeRef>{ref(31, 0)});
    EXPECT_EQ(targetsOf(b, ref(24, 1)), std::vector<EdgeRef>{ref(17, 1)});
    recomputeMovable(b);
    EXPECT_EQ(b.countMovable(), 2);

    EdgeRef over{};
    ASSERT_TRUE(findJumped(b, ref(24, 0), ref(31, 0), over));
    EXPECT_EQ(over, ref(24, 1));
    ASSERT_TRUE(findJumped(b, ref(24, 1), ref(17, 1), over));
    EXPECT_EQ(over, ref(24, 0));
}

TEST(Jumps, TheSecondDiagonalCandidateIsFoundToo) {
    Board b = boardWith({ref(24, 0), ref(25, 2)});
    EXPECT_EQ(targetsOf(b, ref(24, 0)), std::vector<EdgeRef>{ref(32, 0)});
    EXPECT_EQ(targetsOf(b, ref(25, 2)), std::vector<EdgeRef>{ref(17, 2)});
    EdgeRef over{};
    ASSERT_TRUE(findJumped(b, ref(24, 0), ref(32, 0), over));
    EXPECT_EQ(over, ref(25, 2));
    ASSERT_TRUE(findJumped(b, ref(25, 2), ref(17, 2), over));
    EXPECT_EQ(over, ref(24, 0));
}

TEST(Jumps, MatchesWithoutAnAngleOrWithoutRoomCannotMove) {
    for (Board b : {boardWith({ref(24, 0)}), boardWith({ref(24, 0), ref(25, 0)})}) {
        recomputeMovable(b);
        EXPECT_EQ(b.countMovable(), 0);
    }

    Board full(7, 7);
    for (int32_t i = 0; i < 49; ++i) {
        for (EdgeSlot& s : full.nodes[i].edges) {
            s.hasMatch = s.exists;
        }
    }
    recomputeMovable(full);
    EXPECT_EQ(full.countMovable(), 0);

    full.nodes[24].edges[0].hasMatch = 0;
    recomputeMovable(full);
    EXPECT_EQ(full.countMovable(), 4);
    for (int32_t n : {16, 17, 31, 32}) {
        EXPECT_TRUE(full.nodes[n].edges[0].movable) << n;
        EXPECT_EQ(targetsOf(full, ref(n, 0)), std::vector<EdgeRef>{ref(24, 0)}) << n;
    }
}

TEST(Jumps, AnOccupiedOrMissingParallelSlotIsNeverATarget) {
    Board occupied = boardWith({ref(24, 0), ref(24, 1), ref(31, 0)});
    EXPECT_TRUE(targetsOf(occupied, ref(24, 0)).empty());

    Board missing = boardWith({ref(24, 0), ref(24, 1)});
    missing.nodes[31].edges[0].exists = 0;
    EXPECT_TRUE(targetsOf(missing, ref(24, 0)).empty());
}

TEST(Jumps, AJumpMovesTheMatchRemovesTheJumpedOneAndRecordsNineBytes) {
    Board b = boardWith({ref(24, 0), ref(24, 1)});
    recomputeMovable(b);
    b.slot(ref(24, 0)).selected = 1;
    markTargets(b, 24, 0);
    const std::optional<MoveRecord> move = performJump(b, ref(31, 0));
    ASSERT_TRUE(move);
    EXPECT_EQ(b.countMatches(), 1);
    EXPECT_TRUE(b.slot(ref(31, 0)).hasMatch);
    EXPECT_EQ(b.countMovable(), 0);
    EdgeRef none{};
    EXPECT_FALSE(b.findSelected(none));

    const uint8_t expected[9] = {0x18, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x18, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(&*move, expected, 9), 0);
}

TEST(Jumps, AJumpThatTheRuleDoesNotAllowIsRefused) {
    Board b = boardWith({ref(24, 0), ref(24, 1)});
    recomputeMovable(b);
    const Board before(b);
    // A target with nothing selected, and a stray target that no jump reaches (a file can hold
    // both): refused, and not a byte changes.
    b.slot(ref(31, 0)).target = 1;
    EXPECT_FALSE(performJump(b, ref(31, 0)));
    b.slot(ref(24, 0)).selected = 1;
    b.slot(ref(40, 2)).target = 1;
    EXPECT_FALSE(performJump(b, ref(40, 2)));
    EXPECT_FALSE(performJump(b, ref(200, 0)));
    EXPECT_EQ(matchBits(b), matchBits(before));
}

TEST(Jumps, RevertAndApplyRestoreTheMatches) {
    Board b = boardWith({ref(24, 0), ref(24, 1)});
    const MoveRecord move{ref(24, 0), ref(31, 0), ref(24, 1)};
    ASSERT_TRUE(isLegalJump(b, move));
    const auto start = matchBits(b);

    EdgeRef from{}, to{};
    applyMove(b, move, nullptr, from, to);
    EXPECT_EQ(from, EdgeRef{});  // no following record: outs untouched
    const auto after = matchBits(b);
    EXPECT_NE(after, start);
    EXPECT_FALSE(isLegalJump(b, move));

    revertMove(b, move, from, to);
    EXPECT_EQ(matchBits(b), start);
    EXPECT_EQ(from, ref(24, 0));
    EXPECT_EQ(to, ref(31, 0));

    const MoveRecord next{ref(5, 1), ref(6, 2), ref(7, 0)};
    applyMove(b, move, &next, from, to);
    EXPECT_EQ(matchBits(b), after);
    EXPECT_EQ(from, ref(5, 1));
    EXPECT_EQ(to, ref(6, 2));
}

// Random figures: the rule's landing slots, movable flags and legality checks agree with the
// independent rhombus oracle, and playing random jumps keeps them agreeing.
TEST(Jumps, AgreeWithTheRhombusRuleOnRandomFigures) {
    std::mt19937 random(2024);
    for (int round = 0; round < 200; ++round) {
        Board b(7, 7);
        const int density = 20 + static_cast<int>(random() % 70);
        for (int32_t i = 0; i < 49; ++i) {
            for (EdgeSlot& s : b.nodes[i].edges) {
                if (round % 5 == 0 && random() % 10 == 0) {
                    s.exists = 0;  // figures may leave slots out of the board
                }
                if (round % 5 == 1 && !s.exists && random() % 2 == 0) {
                    s.exists = 1;  // a file may claim slots whose far end the board lacks
                }
                s.hasMatch = s.exists && static_cast<int>(random() % 100) < density;
            }
        }
        while (true) {
            const std::set<Jump> expected = testing::oracleJumps(b);
            ASSERT_EQ(ruleJumps(b), expected) << "round " << round;

            recomputeMovable(b);
            for (int32_t i = 0; i < 49; ++i) {
                for (int32_t d = 0; d < 3; ++d) {
                    bool canMove = false;
                    for (const Jump& j : expected) {
                        canMove |= std::get<0>(j) == i && std::get<1>(j) == d;
                    }
                    if (b.nodes[i].active) {
                        ASSERT_EQ(b.nodes[i].edges[d].movable != 0, canMove) << i << "/" << d;
                    }
                }
            }
            if (expected.empty()) {
                break;
            }
            auto it = expected.begin();
            std::advance(it, random() % expected.size());
            auto [fn, fd, tn, td, jn, jd] = *it;
            const MoveRecord move{ref(fn, fd), ref(tn, td), ref(jn, jd)};
            ASSERT_TRUE(isLegalJump(b, move));
            MoveRecord wrongOver = move;
            wrongOver.jumped = ref(tn, td);
            EXPECT_FALSE(isLegalJump(b, wrongOver));

            const int32_t before = b.countMatches();
            EXPECT_EQ(before, presentMatches(b));
            b.slot(move.from).selected = 1;
            markTargets(b, fn, fd);
            const std::optional<MoveRecord> made = performJump(b, move.to);
            ASSERT_TRUE(made);
            EXPECT_EQ(*made, move);
            EXPECT_EQ(b.countMatches(), before - 1);
        }
    }
}

// Far ends that a file claims but the lattice lacks count as absent: no jump lands on or over
// such a slot, and nothing reads outside the board.
TEST(Jumps, SlotsWithAMissingFarEndTakeNoPartInJumps) {
    Board b(7, 7);
    // (3, 0) to (4, 0) is no slot, since (4, 0) lies outside the hexagon; a file may claim it.
    const int32_t corner = b.indexOf(3, 0);
    b.nodes[corner].edges[0].exists = 1;
    EXPECT_FALSE(b.slotExists(corner, 0));
    // This match could otherwise land there, over (3, 0)-(4, 1).
    b.slot(ref(b.indexOf(3, 1), 0)).hasMatch = 1;
    b.slot(ref(corner, 1)).hasMatch = 1;
    EXPECT_TRUE(targetsOf(b, ref(b.indexOf(3, 1), 0)).empty());
    EXPECT_FALSE(
        isLegalJump(b, MoveRecord{ref(b.indexOf(3, 1), 0), ref(corner, 0), ref(corner, 1)}));
    EXPECT_EQ(ruleJumps(b), testing::oracleJumps(b));

    // A match lying on such a slot is no part of the position either: it neither moves nor
    // counts, although the stored flags stay as the file had them.
    b.slot(ref(corner, 0)).hasMatch = 1;
    b.slot(ref(b.indexOf(3, 1), 0)).hasMatch = 0;
    EXPECT_TRUE(targetsOf(b, ref(corner, 0)).empty());
    recomputeMovable(b);
    EXPECT_EQ(b.slot(ref(corner, 0)).movable, 0);
    EXPECT_EQ(b.countMovable(), 0);
    EXPECT_EQ(b.countMatches(), 1);
    EXPECT_EQ(b.slot(ref(corner, 0)).exists, 1);
    EXPECT_EQ(b.slot(ref(corner, 0)).hasMatch, 1);
    EXPECT_EQ(ruleJumps(b), testing::oracleJumps(b));
    EXPECT_TRUE(ruleJumps(b).empty());
}

}  // namespace
}  // namespace kvarlo
