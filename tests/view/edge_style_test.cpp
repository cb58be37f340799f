// Which pens draw a slot, and where its bars end.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "view/edge_style.h"
#include "view/layout.h"

namespace kvarlo {
namespace {

std::vector<EdgePen> pensOf(EdgeSlot s) {
    const SlotPens p = slotPens(s);
    return std::vector<EdgePen>(p.pens.begin(), p.pens.begin() + p.count);
}

TEST(SlotPens, TheHighestFlagWinsOverItsUnderlay) {
    using P = EdgePen;
    struct Case {
        EdgeSlot slot;
        std::vector<EdgePen> pens;
    } cases[] = {
        {{1, 0, 0, 0, 0}, {P::Grid}},
        {{1, 1, 0, 0, 0}, {P::MatchUnderlay, P::Grid, P::Match}},
        {{1, 1, 1, 0, 0}, {P::MovableUnderlay, P::Grid, P::MovableMatch}},
        {{1, 1, 1, 1, 0}, {P::MovableUnderlay, P::Grid, P::SelectedMatch}},
        {{1, 1, 0, 1, 0}, {P::MatchUnderlay, P::Grid, P::SelectedMatch}},
        {{1, 0, 0, 0, 1}, {P::Grid, P::TargetSlot}},
        {{1, 0, 0, 1, 1}, {P::Grid, P::TargetSlot}},  // a hint on an empty slot
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pensOf(c.slot), c.pens);
    }
}

// What the table is for: every state a slot can be in looks different from the others, and each
// layer of a slot shows around the one drawn over it.
TEST(SlotPens, EveryStateLooksItsOwnAndEachLayerShowsAroundTheNext) {
    const EdgeSlot states[] = {
        {1, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {1, 1, 1, 0, 0}, {1, 1, 1, 1, 0}, {1, 0, 0, 0, 1}};
    auto spec = [](EdgePen pen) { return penTable[static_cast<size_t>(pen)]; };
    std::vector<std::pair<int32_t, uint32_t>> looks;
    for (const EdgeSlot& slot : states) {
        const std::vector<EdgePen> pens = pensOf(slot);
        const PenSpec top = spec(pens.back());
        looks.emplace_back(top.width, top.colour);
        if (pens.size() == 3) {  // underlay, grid, the slot's own pen
            EXPECT_GT(spec(pens[0]).width, top.width);
            EXPECT_NE(spec(pens[0]).colour, top.colour);
        }
        if (pens.size() > 1) {
            EXPECT_GT(top.width, spec(EdgePen::Grid).width);
            EXPECT_NE(top.colour, spec(EdgePen::Grid).colour);
            EXPECT_GT(shorteningOf(pens.back()), 0);  // the grid line shows at both ends
        }
    }
    std::sort(looks.begin(), looks.end());
    EXPECT_EQ(std::adjacent_find(looks.begin(), looks.end()), looks.end());
    EXPECT_EQ(shorteningOf(EdgePen::Grid), 0);
}

TEST(ShortenedSegment, BarsStopEightPixelsShortOfBothNodes) {
    Board b(7, 7);
    const BoardLayout l = computeLayout(640, 480, b);
    const ScreenPoint a = nodeScreenPosition(b, 0, l);
    const ScreenPoint right = nodeScreenPosition(b, b.indexOf(1, 0), l);
    const ScreenPoint up = nodeScreenPosition(b, b.indexOf(1, 1), l);
    EXPECT_EQ(shortenedSegment(a.x, a.y, right.x, right.y, 8), (Segment{218, 429, 275, 429}));
    EXPECT_EQ(shortenedSegment(a.x, a.y, up.x, up.y, 8), (Segment{214, 422, 243, 373}));
}

TEST(ShortenedSegment, RoundsAwayFromZeroAndCrossesShortSegments) {
    EXPECT_EQ(shortenedSegment(1, 2, 30, 40, 0), (Segment{1, 2, 30, 40}));
    EXPECT_EQ(shortenedSegment(5, 5, 5, 5, 8), (Segment{5, 5, 5, 5}));
    // Ends move by (4.8, 6.4): -5.2 -> -5 and -3.6 -> -4 round away from zero, not down.
    EXPECT_EQ(shortenedSegment(-10, -10, 20, 30, 8), (Segment{-5, -4, 15, 24}));
    // Nodes closer than 16 pixels: the ends pass each other.
    EXPECT_EQ(shortenedSegment(0, 0, 10, 0, 8), (Segment{8, 0, 2, 0}));  // crossed
    EXPECT_EQ(shortenedSegment(0, 0, -10, 0, 8), (Segment{-8, 0, -2, 0}));
}

}  // namespace
}  // namespace kvarlo
