// The lattice: construction, lookups, counts, clearing and selection.
#include <gtest/gtest.h>

#include "board/board.h"

namespace kvarlo {
namespace {

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
    }
}
}  // namespace
}  // namespace kvarlo
