// Exact layered search with path counts.
//
// Layer k holds every position reachable in k jumps, once per symmetry class (its canonical
// form: the smallest image under the graph's symmetries), with the number of distinct jump
// sequences from the start that reach any member of the class. Expanding a class's
// representative with that count is exact: every member has the same number of jumps into each
// child class. A position without a legal jump is a dead end and adds its count to the
// spectrum at its number of matches.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/budget.h"
#include "solver/engine/count.h"
#include "solver/engine/graph.h"
#include "solver/engine/images.h"
#include "solver/engine/layer_storage.h"
#include "solver/engine/move_generator.h"
#include "solver/engine/shard_table.h"

namespace kvarlo::engine {

enum class ExpandResult {
    Expanded,     // the next layer is built
    Finished,     // the last layer had no jumps left: the search is complete
    Stopped,      // the tick asked to stop; the layer is dropped, everything else stays
    OutOfMemory,  // the next layer does not fit in the budget; the layer is dropped
};

// How the expansion finds the legal jumps and the canonical forms. The results never depend on
// it (the tests compare the ways); the defaults are the fastest. Families exist only for graphs
// whose slots have places (see SlotPlace): elsewhere the jump lists serve whatever is asked.
struct ExpandMethod {
    using Jumps = MoveGenerator::Way;
    Jumps jumps = Jumps::Cheapest;
    bool vectors = true;  // the vector implementation of the images, where the machine has it
    // Children per shard batch, outside the budget; 0: as many as the budget leaves room for.
    int32_t batch = 0;
    // Positions of a graph of at most 64 slots kept in one word (else in two, as on any other).
    bool narrow = true;
};

class LayeredSearch {
public:
    // `useSymmetry` false searches every position on its own (tests compare the two).
    // std::bad_alloc when not even the start fits.
    LayeredSearch(const JumpGraph& graph, MemoryBudget& budget, int32_t threads,
                  bool useSymmetry = true, ExpandMethod method = {});
    ~LayeredSearch() = default;
    LayeredSearch(const LayeredSearch&) = delete;
    LayeredSearch& operator=(const LayeredSearch&) = delete;

    // Expands the last layer into the next one. `tick` is called on the calling thread once at
    // the start and about every 50 ms while the work goes on; returning true stops it. When the
    // system refuses memory outside the budget (a vector, a thread), std::bad_alloc comes out
    // with the search as it was before the call.
    ExpandResult expandNext(const std::function<bool()>& tick = {});

    // Index of the last layer built (0: only the start).
    int32_t lastLayer() const { return static_cast<int32_t>(layerSizes_.size()) - 1; }
    bool finished() const { return finished_; }
    // Canonical positions in each layer built.
    const std::vector<uint64_t>& layerSizes() const { return layerSizes_; }
    // spectrum()[m]: complete games ending with m matches, over the layers expanded so far.
    const std::vector<Count256>& spectrum() const { return spectrum_; }
    // Jumps generated (each legal jump of each expanded position once).
    uint64_t jumpsGenerated() const { return jumpsGenerated_.load(std::memory_order_relaxed); }
    // Positions of the layer being expanded: done and in all.
    uint64_t progressDone() const { return progressDone_.load(std::memory_order_relaxed); }
    uint64_t progressTotal() const { return progressTotal_.load(std::memory_order_relaxed); }
    // Width of the last layer's counts in bits (64, 128 or 256).
    int32_t countBits() const;

    // A jump sequence from the start to a dead end with `matches` matches, if the expanded
    // layers hold one; the jumps are legal in turn from the graph's start.
    std::optional<std::vector<Jump>> sequenceTo(int32_t matches) const;

    // Writes the indices (into graph().jumps) of p's legal jumps to `out`, which has room for
    // every jump of the graph and one more, and returns how many: by the way the method asks
    // for, or the cheapest way for a position with p's number of matches.
    int32_t legalJumpsOf(Bits p, int32_t* out) const { return moves_.legalJumpsOf(p, out); }

    // The smallest image of a position under the symmetries in use.
    Bits canonical(Bits p) const { return images_.canonical(p); }
    // True when layer k holds the class of `p` (p need not be canonical).
    bool layerContains(int32_t k, Bits p) const;

    // The last layer with its counts, for sampling: calls f(position, count) in a fixed order.
    // `stop`, asked between shards, ends the walk early; false then.
    bool forEachInLastLayer(const std::function<void(Bits, const Count256&)>& f,
                            const std::function<bool()>& stop = {}) const;

    const JumpGraph& graph() const { return graph_; }
    // Whether the graph's places gave jump families (else every way is the jump lists).
    bool usesFamilies() const { return moves_.usesFamilies(); }

private:
    enum class Outcome { Expanded, Finished, Stopped, OutOfMemory, Overflow };
    // One expansion in named steps (layers.cpp): the next layer's tables sized, the last
    // layer's positions expanded with their children merged into those tables, the dead ends
    // added to the spectrum, the tables packed into the new layer, the old layer retired to
    // its positions. `Build` holds the next layer while it is built, `Worker` one thread's
    // share of the expansion.
    template <typename C, typename P>
    struct Build;
    template <typename C, typename P>
    struct Worker;
    template <typename C, typename P>
    Outcome expandTyped(const std::function<bool()>& tick);
    template <typename C, typename P>
    bool sizeNext(const CountedLayer<C, P>& cur, Build<C, P>& next);
    template <typename C, typename P>
    void expandAll(const CountedLayer<C, P>& cur, Build<C, P>& next,
                   const std::function<bool()>& tick);
    template <typename C, typename P>
    uint64_t batchBytes(const Build<C, P>& next) const;
    template <typename C, typename P>
    bool planBatches(Build<C, P>& next);
    template <typename C, typename P>
    void expandPart(const CountedLayer<C, P>& cur, Build<C, P>& next, Worker<C, P>& worker,
                    const std::function<bool()>& tick);
    template <typename C, typename P>
    void expandPosition(const CountedPosition<C, P>& entry, Build<C, P>& next,
                        Worker<C, P>& worker);
    template <typename C, typename P>
    void merge(Build<C, P>& next, Worker<C, P>& worker, int32_t shard);
    template <typename C, typename P>
    void addDeadEnds(const Build<C, P>& next);
    // The expansion of the last layer, by the type of its counts.
    template <typename P>
    Outcome expandLast(const std::function<bool()>& tick);
    // Moves the last layer's counts to the next wider type; false when that does not fit or
    // they are as wide as they go.
    template <typename P>
    bool widenLast();
    template <typename C, typename W, typename P>
    bool widenLastLayer();
    // Layer 0: the start alone.
    template <typename P>
    void startWith(Bits start);

    const JumpGraph& graph_;
    MemoryBudget& budget_;
    int32_t threads_;
    int32_t symmetryCount_;
    SymmetryImages images_;
    ExpandMethod method_;
    MoveGenerator moves_;

    // Whether the positions are kept in one word (NarrowBits) rather than two (Bits).
    bool narrow_;
    // Layers 0 .. last - 1, in the form the positions are kept in.
    std::variant<std::vector<PositionLayer<Bits>>, std::vector<PositionLayer<NarrowBits>>> stored_;
    template <typename P>
    std::vector<PositionLayer<P>>& storedAs() {
        return std::get<std::vector<PositionLayer<P>>>(stored_);
    }
    template <typename P>
    const std::vector<PositionLayer<P>>& storedAs() const {
        return std::get<std::vector<PositionLayer<P>>>(stored_);
    }
    std::variant<CountedLayer<Count64, Bits>, CountedLayer<Count128, Bits>,
                 CountedLayer<Count256, Bits>, CountedLayer<Count64, NarrowBits>,
                 CountedLayer<Count128, NarrowBits>, CountedLayer<Count256, NarrowBits>>
        last_;
    std::vector<uint64_t> layerSizes_;
    std::vector<Count256> spectrum_;
    // Per number of matches: the smallest dead end found (its class decides the replay).
    std::vector<std::optional<Bits>> deadEnds_;
    bool finished_ = false;

    std::atomic<uint64_t> jumpsGenerated_{0};
    std::atomic<uint64_t> progressDone_{0};
    std::atomic<uint64_t> progressTotal_{0};
};

}  // namespace kvarlo::engine
