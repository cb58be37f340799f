// A charged block holds its charge to the budget exactly as long as it holds memory, whatever
// path it takes: small blocks and large ones (which come from the system on their own), shrunk
// in place or moved, regrown or refused, moved between owners, released. A charged region gives
// its charge and its memory back apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "solver/engine/budget.h"

namespace kvarlo::engine {
namespace {

bool allBytesAre(const ChargedBlock& b, uint64_t from, uint64_t to, unsigned char v) {
    const auto* p = static_cast<const unsigned char*>(b.data());
    for (uint64_t i = from; i < to; ++i) {
        if (p[i] != v) {
            return false;
        }
    }
    return true;
}

TEST(ChargedBlockTest, TheChargeFollowsTheMemoryOnEveryPath) {
    constexpr uint64_t MiB = uint64_t{1} << 20;
    MemoryBudget budget(64 * MiB);
    for (uint64_t size : {uint64_t{1000}, 9 * MiB}) {
        ChargedBlock block = ChargedBlock::take(budget, size, true);
        ASSERT_TRUE(block);
        EXPECT_EQ(budget.used(), size);
        EXPECT_TRUE(allBytesAre(block, 0, size, 0));
        std::memset(block.data(), 7, size);

        // Refused growth changes nothing; accepted growth charges the difference.
        const auto refused = block.regrow(size * 2, [](void*) { return false; });
        EXPECT_EQ(refused, ChargedBlock::Regrow::FillRefused);
        EXPECT_EQ(budget.used(), size);
        const void* old = block.data();
        const auto grown = block.regrow(size * 2, [&](void* fresh) {
            std::memcpy(fresh, old, size);
            return true;
        });
        ASSERT_EQ(grown, ChargedBlock::Regrow::Done);
        EXPECT_EQ(budget.used(), size * 2);
        EXPECT_TRUE(allBytesAre(block, 0, size, 7));
        EXPECT_TRUE(allBytesAre(block, size, size * 2, 0));

        // Shrinking keeps the front, refunds the rest; a large block shrunk below the size of
        // large blocks moves, contents and all.
        block.shrink(size + 10);
        EXPECT_EQ(budget.used(), size + 10);
        block.shrink(500);
        EXPECT_EQ(budget.used(), 500u);
        EXPECT_TRUE(allBytesAre(block, 0, 500, 7));

        ChargedBlock moved = std::move(block);
        EXPECT_FALSE(block);
        EXPECT_EQ(budget.used(), 500u);
        moved = ChargedBlock{};
        EXPECT_EQ(budget.used(), 0u);
    }
    EXPECT_EQ(budget.peak(), 18 * MiB);

    // Past the limit: no block, no charge.
    ChargedBlock held = ChargedBlock::take(budget, 60 * MiB);
    ASSERT_TRUE(held);
    EXPECT_FALSE(ChargedBlock::take(budget, 5 * MiB));
    EXPECT_EQ(held.regrow(70 * MiB, [](void*) { return true; }), ChargedBlock::Regrow::NoRoom);
    EXPECT_EQ(budget.used(), 60 * MiB);
    held.reset();
    EXPECT_EQ(budget.used(), 0u);
}

// A region's charge goes back in parts as its tables are refunded, never more than it holds, and
// its memory from the front in parts: what lies past the front stays as it was, whatever was
// given back before it, and the rest goes with the region.
TEST(ChargedRegionTest, ChargeAndMemoryGoBackApartAndOnce) {
    constexpr uint64_t MiB = uint64_t{1} << 20;
    MemoryBudget budget(64 * MiB);
    for (uint64_t size : {uint64_t{100000}, 9 * MiB + 12345}) {
        ChargedRegion region = ChargedRegion::take(budget, size);
        ASSERT_TRUE(region);
        EXPECT_EQ(budget.used(), size);
        const char* bytes = region.data();
        EXPECT_TRUE(std::all_of(bytes, bytes + size, [](char c) { return c == 0; }));
        std::memset(region.data(), 5, size);

        region.refund(size / 3);
        EXPECT_EQ(budget.used(), size - size / 3);
        region.releaseFront(size / 2);
        EXPECT_EQ(budget.used(), size - size / 3);
        const char* rest = region.data() + size / 2;
        const char* end = region.data() + size;
        EXPECT_TRUE(std::all_of(rest, end, [](char c) { return c == 5; }));
        std::memset(region.data() + size / 2, 6, size - size / 2);
        region.releaseFront(size / 4);  // behind the front: nothing more to give back

        ChargedRegion moved = std::move(region);
        EXPECT_FALSE(region);
        region.reset();
        EXPECT_EQ(budget.used(), size - size / 3);
        moved.refund(size);  // only what is still charged
        EXPECT_EQ(budget.used(), 0u);
        moved = ChargedRegion{};
        EXPECT_EQ(budget.used(), 0u);

        // Destroyed with its charge whole: all of it back.
        ChargedRegion whole = ChargedRegion::take(budget, size);
        whole.releaseFront(size);
        EXPECT_EQ(budget.used(), size);
        whole.reset();
        EXPECT_EQ(budget.used(), 0u);
    }
    EXPECT_FALSE(ChargedRegion::take(budget, 65 * MiB));
    EXPECT_EQ(budget.used(), 0u);
}

}  // namespace
}  // namespace kvarlo::engine
