// The exhaustive search for "no ending with at most k matches": depth first over every game
// from the start, cut wherever a sound bound says a position cannot end that low (matches no
// jump can use again, parity classes, resource functions towards the slot a last single match
// would stand on, and groups of matches that can never jump over one another, whose bounds add
// up), with a table of canonical positions already refuted so that a position reached again
// by another order of jumps is not searched twice. Searched through, it proves that every game
// ends with more than k matches; it also finds an ending of at most k when there is one. It
// runs beside the best-ending search, on a target just below its best.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "solver/engine/best.h"
#include "solver/engine/bits.h"
#include "solver/engine/bounds.h"
#include "solver/engine/graph.h"
#include "solver/engine/images.h"
#include "solver/engine/move_generator.h"
#include "solver/engine/parts.h"
#include "solver/engine/refuted_positions.h"
#include "solver/engine/weights.h"

namespace kvarlo::engine {

class RefutationSearch {
public:
    // The table of refuted positions takes at most `tableBytes`. With `programs`, a run whose
    // endings may hold a single moving match first solves the linear programs of the slots
    // it may stand on (see LastMatchWeights::addProgram). With `byParts`, a position of more
    // than one cluster is split into groups that never cross (see CrossingGroups).
    RefutationSearch(const JumpGraph& graph, uint64_t tableBytes, bool useSymmetry,
                     bool programs = true, bool byParts = true);
    ~RefutationSearch();
    RefutationSearch(const RefutationSearch&) = delete;
    RefutationSearch& operator=(const RefutationSearch&) = delete;

    enum class Outcome { refuted, found, stopped };

    // Every game from the start, for one ending with at most `target` graph matches (fixed
    // matches not counted): refuted when there is none, found (see ending) when there is,
    // stopped when `stop` was set first (looked at every few thousand positions).
    Outcome run(int32_t target, const std::atomic<bool>& stop);

    // After `found`: the jumps from the start to that ending, legal in turn.
    const std::vector<Jump>& ending() const { return path_; }

    // Positions expanded so far, over every run (notes and tests).
    uint64_t positions() const { return positions_; }
    // Positions cut because their groups' bounds add up to more than the target (notes and
    // tests).
    uint64_t partCuts() const { return partCuts_; }

private:
    bool search(Bits p, int32_t depth);
    // True when a sound bound shows that no game from p ends with `target_` matches or fewer.
    bool cutOff(Bits p);
    // True when p falls into groups that never jump over one another whose own bounds add up
    // to more than the target (see CrossingGroups).
    bool partsEndAboveTarget(Bits p) const;
    // The groups' bounds of p added up, or 0 when p is one group.
    int32_t groupsLowest(Bits p) const;
    // True when no game from p can end with a single moving match and the permanent ones.
    bool noLastMatch(Bits p) const;
    // The linear programs of the start's last-match slots, once; false when stopped first.
    bool solvePrograms();

    const JumpGraph& graph_;
    SymmetryImages images_;
    MoveGenerator moves_;
    EndingBounds bounds_;
    SlotDistances distances_;
    LastMatchWeights lastMatch_;
    CrossingGroups groups_;
    std::unique_ptr<RefutedPositions> table_;

    bool programs_;
    bool byParts_;
    bool programsSolved_ = false;
    int32_t target_ = 0;
    const std::atomic<bool>* stop_ = nullptr;
    bool stopped_ = false;
    uint64_t positions_ = 0;
    uint64_t partCuts_ = 0;
    std::vector<Jump> path_;
    std::vector<int32_t> legalRows_;  // per depth: the legal jumps and their children's
    std::vector<Bits> canonRows_;     // canonical forms
};

// The fewest graph matches every game ends with, from the bounds of the start and of its
// groups that never cross (see CrossingGroups): no search needed, under a millisecond.
int32_t lowestAtStart(const JumpGraph& graph);

// Keeps a refutation search beside the best-ending search: whenever that search holds a best
// b not yet proven, it searches for an ending below b; searched through, b is proven. An
// ending it finds instead is kept (see found) and becomes the best it tries to prove next.
class BelowBest {
public:
    explicit BelowBest(const JumpGraph& graph) : graph_(graph) {}

    // Runs until `stop` is set or the best known (the lower of what `known()` returns and
    // what this search found) is proven, looking at it every 10 ms; a best from `known()`
    // starts a search once it has stood for at least `settleLooks` looks, one found here at
    // once. A start of several clusters has its bounds (lowestAtStart) taken once a best has
    // stood for two looks. `tableBytes` and `useSymmetry` as for RefutationSearch.
    void run(const std::function<BestEnding()>& known, int32_t settleLooks, uint64_t tableBytes,
             bool useSymmetry, const std::atomic<bool>& stop);

    // The fewest matches (fixed ones included) proven here to be below every ending: those
    // of the start's bounds, then a best the search proves.
    int32_t lowest() const { return lowest_.load(std::memory_order_relaxed); }

    // The best ending this search found (matches with the fixed ones, and the game from the
    // start), noResult until one; safe from any thread.
    BestEnding found() const;

    // Searches started, one per best it tried to prove (notes and tests).
    int32_t attempts() const { return attempts_.load(std::memory_order_relaxed); }

private:
    // The best `known()` returns, or the one found here when that is lower.
    BestEnding bestKnown(const std::function<BestEnding()>& known) const;
    // Keeps the ending the search just found.
    void keep(const std::vector<Jump>& jumps);

    const JumpGraph& graph_;
    std::atomic<int32_t> lowest_{0};
    std::atomic<int32_t> attempts_{0};
    mutable std::mutex lock_;
    BestEnding found_;
};

}  // namespace kvarlo::engine
