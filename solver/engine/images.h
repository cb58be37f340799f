// A position's images under the symmetries of the jump graph, and the canonical forms of its
// children: the canonical form of a position is its smallest image, as the 128-bit integer
// (hi, lo). A child's image under symmetry g is the parent's image g with the jump's three slots
// flipped under g, so a parent's images are built once and each child costs one pass over them.
//
// Two implementations give the same results: a plain one, and one over 512-bit vectors for
// x86-64 machines that have them (all images of a position in four registers; not in the
// Windows build, whose compiler cannot align the stack for them).
#pragma once

#include <cstdint>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/graph.h"

namespace kvarlo::engine {

class SymmetryImages {
public:
    // The images under the first `count` symmetries of the graph (the identity is the first).
    // `vectors`: use the vector implementation where the machine has it.
    SymmetryImages(const JumpGraph& graph, int32_t count, bool vectors = true);

    int32_t count() const { return count_; }
    bool usesVectors() const { return usesVectors_; }

    // A position's images: image g is the integer (hi[g], lo[g]).
    struct Images {
        alignas(64) uint64_t hi[maxSymmetries];
        alignas(64) uint64_t lo[maxSymmetries];
    };
    void imagesOf(Bits p, Images& out) const { images_(*this, p, out); }

    // The smallest image of p.
    Bits canonical(Bits p) const;

    // out[i] = the canonical form of the child that jump jumps[i] makes of the position whose
    // images are `parent`.
    void children(const Images& parent, const int32_t* jumps, int32_t n, Bits* out) const {
        children_(*this, parent, jumps, n, out);
    }

private:
    // The construction's steps: the tables, then the implementation that reads them.
    void fillByteImages(const JumpGraph& graph);
    void fillFlipImages(const JumpGraph& graph);
    // Writes p's images under every symmetry into one table row (high words, then low words).
    void storeImages(const JumpGraph& graph, Bits p, uint64_t* row) const;
    void chooseImplementation(bool vectors);

    using ImagesFn = void (*)(const SymmetryImages&, Bits, Images&);
    using ChildrenFn = void (*)(const SymmetryImages&, const Images&, const int32_t*, int32_t,
                                Bits*);
    template <int32_t Fixed>
    static void imagesPlain(const SymmetryImages& s, Bits p, Images& out);
    template <int32_t Fixed>
    static void childrenPlain(const SymmetryImages& s, const Images& parent, const int32_t* jumps,
                              int32_t n, Bits* out);
    static void imagesVector(const SymmetryImages& s, Bits p, Images& out);
    static void childrenVector(const SymmetryImages& s, const Images& parent, const int32_t* jumps,
                               int32_t n, Bits* out);

    int32_t count_;
    int32_t byteCount_;
    bool usesVectors_ = false;
    // A graph of at most 64 slots: every image's high word is empty, and the vector
    // implementation leaves the high words out. Only the vector implementation reads it, and
    // targets without one (WebAssembly) do not build it.
    [[maybe_unused]] bool narrow_;
    // The images of a position's bytes: row (byte * 256 + value) holds the byte value's images
    // under every symmetry, their high words first, then their low words (2 * count words).
    // A position's images are the OR of one row per nonzero byte.
    std::vector<uint64_t> byteImages_;
    // Row `jump`: the jump's three slots under every symmetry, laid out like byteImages_.
    std::vector<uint64_t> flipImages_;
    ImagesFn images_;
    ChildrenFn children_;
};

}  // namespace kvarlo::engine
