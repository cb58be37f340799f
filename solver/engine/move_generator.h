// Move generation: the legal jumps of a position, by jump lists grouped by slot or, on a graph
// whose slots have places, by jump families tested for every cell at once. The one way the engine
// finds legal jumps: the layers, the probes and the best-ending search all ask it.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/graph.h"

namespace kvarlo::engine {

class MoveGenerator {
public:
    // How the legal jumps are found. The jumps found never depend on it (the tests compare the
    // ways), only their order; Cheapest picks the faster way by the number of matches.
    // Families exist only for graphs whose slots have places (see SlotPlace): elsewhere the jump
    // lists serve whatever is asked.
    enum class Way { Cheapest, Lists, Families };

    explicit MoveGenerator(const JumpGraph& graph, Way way = Way::Cheapest);

    // Writes the indices (into graph.jumps) of p's legal jumps to `out`, which has room for
    // every jump of the graph and one more, and returns how many: by the way asked for, or the
    // cheapest way for a position with p's number of matches.
    int32_t legalJumpsOf(Bits p, int32_t* out) const;
    // The same in the order of graph.jumps, whatever way found them.
    int32_t legalJumpsInGraphOrder(Bits p, int32_t* out) const;

    // Writes the indices of p's legal jumps to `out` (room for every jump of the graph) and
    // returns how many, walking p's empty slots (`byTo`, for dense positions) or its matches.
    // The order differs between the two. The layers do not depend on it; the look-ahead
    // probes draw their walks in it, so their estimates do (reproducibly, either way).
    int32_t legalJumps(Bits p, bool byTo, int32_t* out) const;
    // The same by the jump families (which must exist), in another order.
    int32_t legalJumpsByFamily(Bits p, int32_t* out) const;
    // Whether the families serve positions with `matches` matches: they exist, and the way
    // asks for them or leaves it to the cheaper way.
    bool familiesChosen(int32_t matches) const;
    // Whether the graph's places gave jump families (else every way is the jump lists).
    bool usesFamilies() const { return !families_.empty(); }

private:
    // Whether every slot has a place of its own within the planes.
    static bool placesServeFamilies(const JumpGraph& graph);
    void buildFamilies();

    const JumpGraph& graph_;
    Way way_;
    int32_t byteCount_;
    // The jump lists the expansion walks, one record per jump:
    //   0 need (16): the `from` and `over` bits, both must be set
    //  16 to   (16): the `to` bit, must be clear
    //  32 jump (4):  index into graph.jumps, 36 padding (4)        -> 40 bytes
    // grouped once by `from` slot (walked over a position's matches, for sparse positions) and
    // once by `to` slot (walked over its empty slots, for dense ones).
    struct JumpTest {
        Bits need;
        Bits to;
        int32_t jump;
    };
    static_assert(sizeof(JumpTest) == 40);
    std::vector<int32_t> fromStart_;  // slotCount + 1 offsets into byFrom_
    std::vector<JumpTest> byFrom_;
    std::vector<int32_t> toStart_;  // slotCount + 1 offsets into byTo_
    std::vector<JumpTest> byTo_;
    Bits slots_;  // every slot of the graph

    // Jump families, for a graph whose slots have places: a slot is a cell of a plane (on a
    // board, its node and its direction), one word per plane, and the jumps that are
    // translations of one another form a family, tested for every cell at once with a few word
    // operations. Empty when a slot has no place, a place lies outside the planes (a node past
    // cell 63) or two slots share one.
    static constexpr int32_t planeCount = 3;
    struct JumpFamily {
        int32_t planeFrom = 0;
        int32_t planeOver = 0;
        int32_t planeTo = 0;
        // A plane word moved by (w >> right) << left puts the cell of `over` (or `to`) where
        // the cell of `from` is.
        int32_t overRight = 0;
        int32_t overLeft = 0;
        int32_t toRight = 0;
        int32_t toLeft = 0;
        uint64_t cells = 0;                // the cells `from` takes in the family's jumps
        std::array<int32_t, 64> jumpAt{};  // index into graph.jumps by the cell of `from`
    };
    std::vector<JumpFamily> families_;
    // The plane words of a position's bytes, [(byte * 256 + value) * planeCount + plane].
    std::vector<uint64_t> planeBytes_;
    // Whether the families are cheaper than the jump lists for a layer with `matches` matches.
    bool familiesPay(int32_t matches) const;
};

inline int32_t MoveGenerator::legalJumps(Bits p, bool byTo, int32_t* out) const {
    // Every candidate is tested without a branch and its index written; the count moves on
    // only for a legal one. A jump is legal when none of these is set: `from` or `over`
    // missing, `to` occupied.
    const Bits empty = slots_ & Bits{~p.lo, ~p.hi};
    const int32_t* start = byTo ? toStart_.data() : fromStart_.data();
    const JumpTest* list = byTo ? byTo_.data() : byFrom_.data();
    int32_t n = 0;
    forEachBit(byTo ? empty : p, [&](int32_t slot) {
        for (const JumpTest* t = list + start[slot]; t != list + start[slot + 1]; ++t) {
            const uint64_t blocked = (empty.lo & t->need.lo) | (empty.hi & t->need.hi) |
                                     (p.lo & t->to.lo) | (p.hi & t->to.hi);
            out[n] = t->jump;
            n += blocked == 0;
        }
    });
    return n;
}

inline int32_t MoveGenerator::legalJumpsByFamily(Bits p, int32_t* out) const {
    static_assert(planeCount == 3);
    // A zero byte's row is zero: OR-ing it costs less than a branch that is hard to predict.
    uint64_t p0 = 0;
    uint64_t p1 = 0;
    uint64_t p2 = 0;
    for (int32_t b = 0; b < byteCount_; ++b) {
        const uint64_t* row = &planeBytes_[(static_cast<size_t>(b) * 256 + p.byte(b)) * planeCount];
        p0 |= row[0];
        p1 |= row[1];
        p2 |= row[2];
    }
    const uint64_t plane[planeCount] = {p0, p1, p2};
    int32_t n = 0;
    for (const JumpFamily& f : families_) {
        const uint64_t over = (plane[f.planeOver] >> f.overRight) << f.overLeft;
        const uint64_t to = (plane[f.planeTo] >> f.toRight) << f.toLeft;
        for (uint64_t m = plane[f.planeFrom] & over & ~to & f.cells; m != 0; m &= m - 1) {
            out[n++] = f.jumpAt[std::countr_zero(m)];
        }
    }
    return n;
}

}  // namespace kvarlo::engine
