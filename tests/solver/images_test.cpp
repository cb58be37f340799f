// Symmetry images against images made slot by slot with the permutations themselves, for both
// implementations and every number of images the vector one splits differently.
#include <gtest/gtest.h>

#include <random>

#include "solver/brute_force.h"
#include "solver/engine/images.h"

namespace kvarlo::engine {
namespace {

// The smallest image of p under the first `count` permutations of the graph.
Bits smallestImage(const JumpGraph& graph, int32_t count, Bits p) {
    Bits best = applyPermutation(graph.symmetries[0], p, graph.slotCount);
    for (int32_t g = 1; g < count; ++g) {
        const Bits image = applyPermutation(graph.symmetries[g], p, graph.slotCount);
        if (image < best) {
            best = image;
        }
    }
    return best;
}

Bits randomPosition(std::mt19937_64& rng, int32_t slotCount) {
    // From nearly empty to nearly full, so ties in the high word come up as well.
    const double density = std::uniform_real_distribution<double>(0.02, 0.98)(rng);
    std::bernoulli_distribution bit(density);
    Bits p;
    for (int32_t s = 0; s < slotCount; ++s) {
        if (bit(rng)) {
            p.set(s);
        }
    }
    return p;
}

void checkImages(const JumpGraph& graph, int32_t count, bool vectors) {
    SCOPED_TRACE(::testing::Message() << count << " images, vectors " << vectors);
    const SymmetryImages images(graph, count, vectors);
    std::mt19937_64 rng(static_cast<uint64_t>(count) * 31 + vectors);
    std::uniform_int_distribution<int32_t> anyJump(0, static_cast<int32_t>(graph.jumps.size()) - 1);
    for (int32_t trial = 0; trial < 300; ++trial) {
        const Bits p = randomPosition(rng, graph.slotCount);
        ASSERT_EQ(images.canonical(p), smallestImage(graph, count, p));
        // The children's formula holds for any jump, legal or not.
        std::vector<int32_t> jumps(1 + trial % 40);
        for (int32_t& j : jumps) {
            j = anyJump(rng);
        }
        SymmetryImages::Images parent;
        images.imagesOf(p, parent);
        std::vector<Bits> children(jumps.size());
        images.children(parent, jumps.data(), static_cast<int32_t>(jumps.size()), children.data());
        for (size_t i = 0; i < jumps.size(); ++i) {
            const Jump& j = graph.jumps[jumps[i]];
            const Bits child = p ^ Bits::bit(j.from) ^ Bits::bit(j.over) ^ Bits::bit(j.to);
            ASSERT_EQ(children[i], smallestImage(graph, count, child)) << "jump " << jumps[i];
        }
    }
}

TEST(SymmetryImagesTest, BoardImagesMatchThePermutations) {
    Board board(7, 7);
    board.slot({24, 0}).hasMatch = 1;
    const JumpGraph graph = graphFromBoard(board);
    ASSERT_EQ(graph.symmetries.size(), 12u);
    for (int32_t count : {1, 2, 4, 6, 7, 8, 9, 12}) {
        for (bool vectors : {false, true}) {
            checkImages(graph, count, vectors);
        }
    }
}

// A ring of `slots` slots, its rotations by multiples of 5 slots as the symmetries, and a jump
// along the ring from every slot.
JumpGraph ring(int32_t slots) {
    JumpGraph g;
    g.slotCount = slots;
    for (int32_t s = 0; s < slots; ++s) {
        g.jumps.push_back(Jump{static_cast<uint8_t>(s), static_cast<uint8_t>((s + 1) % slots),
                               static_cast<uint8_t>((s + 2) % slots)});
    }
    for (int32_t k = 0; k < slots / 5; ++k) {
        Permutation perm{};
        for (int32_t s = 0; s < slots; ++s) {
            perm[s] = static_cast<uint8_t>((s + 5 * k) % slots);
        }
        g.symmetries.push_back(perm);
    }
    return g;
}

TEST(SymmetryImagesTest, UpToSixteenImagesInVectorsAndMoreWithout) {
    const JumpGraph wide = ring(120);  // both words of a position
    for (int32_t count : {13, 16, 17, 24}) {
        for (bool vectors : {false, true}) {
            checkImages(wide, count, vectors);
        }
    }
    EXPECT_FALSE(SymmetryImages(wide, 17, true).usesVectors());
    EXPECT_FALSE(SymmetryImages(wide, 12, false).usesVectors());
}

// Up to 64 slots the vector implementation leaves the high words out: the low word decides.
TEST(SymmetryImagesTest, NarrowGraphsOnTheirLowWordsAlone) {
    for (int32_t slots : {60, 64}) {
        const JumpGraph narrow = ring(slots);
        for (int32_t count : {2, 8, 12}) {
            for (bool vectors : {false, true}) {
                checkImages(narrow, count, vectors);
            }
        }
    }
}

}  // namespace
}  // namespace kvarlo::engine
