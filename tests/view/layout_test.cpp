// Placing the lattice on the client area and finding the slot under a point.
#include <gtest/gtest.h>

#include "support/boards.h"
#include "view/layout.h"

namespace kvarlo {
namespace {

using testing::ref;

TEST(Layout, A640By480ClientCentresTheHexagon) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(640, 480, b);
    EXPECT_EQ(l.step, 73);
    EXPECT_EQ(l.rowStep, 63);
    EXPECT_EQ(l.originX, 210);
    EXPECT_EQ(l.originY, 429);

    struct Case {
        int x, y;
        ScreenPoint at;
    } cases[] = {{0, 0, {210, 429}}, {3, 0, {429, 429}}, {0, 3, {101, 240}},
                 {3, 3, {320, 240}}, {6, 3, {539, 240}}, {6, 6, {429, 51}}};
    for (const Case& c : cases) {
        EXPECT_EQ(nodeScreenPosition(b, b.indexOf(c.x, c.y), l), c.at) << c.x << "," << c.y;
    }
}

TEST(Layout, TheRowFactorIsExactly0866) {
    Board b(7, 7);
    // A step of 709: 709 * 0.866 = 613.994, where the exact root of 3 over 2 would give 614.01.
    const BoardLayout wide = computeLayout(5320, 10000, b);
    EXPECT_EQ(wide.step, 709);
    EXPECT_EQ(wide.rowStep, 613);
    // Height-bound: fitY = 480 / (6 * 0.866) = 92.38 (92.376 with the exact root).
    const BoardLayout tall = computeLayout(2000, 480, b);
    EXPECT_EQ(tall.step, 73);
}

TEST(Layout, TheCentreNodeLandsInTheMiddleOfAnyClient) {
    Board b(7, 7);
    for (int w = 50; w < 1400; w += 37) {
        for (int h = 40; h < 1000; h += 29) {
            const BoardLayout l = computeLayout(w, h, b);
            const ScreenPoint c = nodeScreenPosition(b, 24, l);
            EXPECT_NEAR(c.x, w / 2, 2) << w << "x" << h;
            EXPECT_NEAR(c.y, h / 2, 2) << w << "x" << h;
        }
    }
}

TEST(HitTest, FindsTheSlotBetweenTheTwoNearestNodes) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(640, 480, b);
    EdgeRef out{};
    ASSERT_TRUE(hitTest(b, 250, 400, l, false, out));
    EXPECT_EQ(out, ref(b.indexOf(1, 0), 2));

    // On node (3, 3) itself two neighbours tie for second place; either slot is an answer.
    ASSERT_TRUE(hitTest(b, 320, 240, l, false, out));
    EXPECT_TRUE(out == ref(b.indexOf(3, 2), 2) || out == ref(b.indexOf(3, 3), 1));
}

TEST(HitTest, ANodeExactlyOneStepAwayIsNearEnough) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(640, 480, b);
    EdgeRef out{};
    // Node (0, 0) is at (210, 429); 73 pixels to its left lies exactly one step away.
    EXPECT_TRUE(hitTest(b, 137, 429, l, false, out));
    EXPECT_EQ(out, ref(0, 2));
    // One pixel lower the squared distance is 73 * 73 + 1.
    EXPECT_FALSE(hitTest(b, 137, 430, l, false, out));
    EXPECT_FALSE(hitTest(b, -100000, 5000000, l, true, out));
}

TEST(HitTest, MissingSlotsAreHitOnlyInTheEditor) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(640, 480, b);
    const int32_t node = b.indexOf(1, 0);
    b.nodes[node].edges[2].exists = 0;
    EdgeRef out = ref(3, 0);
    EXPECT_FALSE(hitTest(b, 250, 400, l, false, out));
    ASSERT_TRUE(hitTest(b, 250, 400, l, true, out));
    EXPECT_EQ(out, ref(node, 2));
}

TEST(HitTest, NoHitWhenTheTwoNearestNodesAreNotNeighbours) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(640, 480, b);
    // With the corner's neighbours gone, the second nearest node to a point by the corner
    // is two steps from it.
    for (int32_t n : {b.indexOf(1, 0), b.indexOf(1, 1), b.indexOf(0, 1)}) {
        b.nodes[n].active = 0;
    }
    EdgeRef out{};
    EXPECT_FALSE(hitTest(b, 210, 440, l, true, out));
}

TEST(HitTest, ATinyClientPutsEveryNodeOnOnePoint) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(3, 3, b);
    EXPECT_EQ(l.step, 0);
    EXPECT_EQ(l.rowStep, 0);
    const ScreenPoint p = nodeScreenPosition(b, 0, l);
    for (int32_t i = 0; i < 49; ++i) {
        EXPECT_EQ(nodeScreenPosition(b, i, l), p);
    }
    EdgeRef out{};
    EXPECT_FALSE(hitTest(b, p.x + 1, p.y, l, true, out));
    // Exactly on the point every active node ties, and which two come first is up to the
    // sort: a hit names a real slot, a miss leaves the reference as it was.
    EdgeRef tied{-1, -1};
    const bool hit = hitTest(b, p.x, p.y, l, true, tied);
    EXPECT_EQ(b.slotExists(tied.node, tied.direction), hit);
}

TEST(HitTest, EveryExistingSlotIsHitAtItsMiddle) {
    Board b(7, 7);
    for (auto [w, h] : {std::pair{640, 480}, {300, 900}, {1920, 1000}}) {
        const BoardLayout l = computeLayout(w, h, b);
        for (int32_t i = 0; i < 49; ++i) {
            for (int32_t d = 0; d < 3; ++d) {
                if (!b.nodes[i].edges[d].exists) {
                    continue;
                }
                const ScreenPoint p = nodeScreenPosition(b, i, l);
                const ScreenPoint q = nodeScreenPosition(b, b.neighbourForward(i, d), l);
                EdgeRef out{};
                ASSERT_TRUE(hitTest(b, (p.x + q.x) / 2, (p.y + q.y) / 2, l, false, out));
                EXPECT_EQ(out, ref(i, d)) << w << "x" << h;
            }
        }
    }
}

}  // namespace
}  // namespace kvarlo
