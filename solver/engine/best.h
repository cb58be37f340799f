// The search for the best ending of figures too dense for the exact layers. It runs on a
// thread of its own beside them and alternates two methods, each round larger than the last:
// - a beam search: level by level, the canonical positions reached are ranked by the matches
//   no jump can use any more and by how many jumps they allow, and the most promising ones
//   are kept; every dead end it meets is a real ending;
// - a depth-first search for an ending with fewer matches than the best one known, with a
//   table of canonical positions known not to reach one and sound bounds that cut off
//   positions that cannot; searched through, it proves the best.
// The work is counted in jumps, not seconds, so a graph gets the same results on every run.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/bounds.h"
#include "solver/engine/budget.h"
#include "solver/engine/graph.h"
#include "solver/engine/images.h"
#include "solver/engine/move_generator.h"
#include "solver/engine/refuted_positions.h"

namespace kvarlo::engine {

// Which of a search's methods reached its best (notes and tests).
enum class Finder { None, Beam, Descent, Offered };

struct BestEnding {
    int32_t best = noResult;  // matches at the end, fixed ones included
    std::vector<Jump> jumps;  // from the graph's start to that ending, legal in turn
    int32_t lowest = 0;       // proven: no game ends with fewer matches
    std::chrono::steady_clock::time_point foundAt;  // when `best` was first reached
    uint64_t jumpsGenerated = 0;
    // The search's own jumps when `best` was first reached, and how: a measure of the way to
    // the best that does not depend on the machine or its load.
    uint64_t jumpsAtBest = 0;
    Finder foundBy = Finder::None;
    uint32_t foundWidth = 0;  // the beam's width, when a beam found it
};

class BestSearch {
public:
    // How a search spends its work. Alternate: beams and depth-first searches in turn, as
    // above; the one that proves. FewerDescents: the same, each depth-first search given a
    // quarter of the work the beam before it had, for a search with a second one of beams
    // beside it (on the figures that get one, the beams find the bests). Beams: beams only, of
    // doubling width and then again at the widest, each ranking with a random spread across
    // neighbouring ranks: a second search on the same figure that looks where the first one's beams
    // do not, and hands every ending it finds to `partner` (which must outlive it).
    enum class Schedule { Alternate, FewerDescents, Beams };

    // Takes what it stores from `bytes` charged to the budget up front (given back on
    // destruction); `useSymmetry` as for the layers.
    BestSearch(const JumpGraph& graph, MemoryBudget& budget, uint64_t bytes, bool useSymmetry,
               Schedule schedule = Schedule::Alternate, BestSearch* partner = nullptr);
    ~BestSearch();
    BestSearch(const BestSearch&) = delete;
    BestSearch& operator=(const BestSearch&) = delete;

    // Searches until `stop` is set (looked at every few thousand jumps) or the best is
    // proven. Running again goes on where it stopped.
    void run(const std::atomic<bool>& stop);

    // An ending found elsewhere: `jumps` from the start, legal in turn, to a dead end with
    // `graphMatches` graph matches. Kept when better; safe from any thread.
    void offer(int32_t graphMatches, std::vector<Jump> jumps) {
        improve(graphMatches, std::move(jumps), Finder::Offered);
    }

    // One beam search alone, of the given width and tie order, as the schedule runs it (benches
    // and tests: how often a width meets the best); false when stopped.
    bool beamAlone(uint32_t width, uint64_t salt, const std::atomic<bool>& stop) {
        return beam(width, salt, stop);
    }

    // A consistent copy of what is known; safe from any thread.
    BestEnding result() const;
    bool finished() const;

    // Bytes the engine sets aside for this search out of a budget.
    static uint64_t share(uint64_t budgetLimit);

private:
    // One beam search of the given width; false when stopped.
    bool beam(uint32_t width, uint64_t salt, const std::atomic<bool>& stop);
    // The beam of the round's width, and again with the rim's cost where it is used.
    bool beamRound(const std::atomic<bool>& stop);
    // The depth-first search for an ending below the best known, for at most `work` jumps;
    // false when stopped or out of work before it was through.
    bool descend(uint64_t work, const std::atomic<bool>& stop);
    bool descendFrom(Bits p, int32_t depth, int32_t target);
    // Lower is more promising, in 1/rankUnit of a legal jump; `legal` is scratch room for every
    // jump of the graph and one.
    int64_t rank(Bits p, int32_t* legal) const;
    static std::vector<int64_t> rimCosts(const JumpGraph& graph);
    // The real jump sequence through a chain of canonical positions from the start.
    std::vector<Jump> realJumps(const std::vector<Bits>& chain) const;
    void improve(int32_t graphMatches, std::vector<Jump> jumps, Finder by, uint32_t width = 0);
    // The random spread of a beam's ranks, in units of one rank: 1 breaks ties only.
    int64_t rankSpread() const { return schedule_ == Schedule::Beams ? 4 : 1; }
    void raiseLowest(int32_t lowest);

    const JumpGraph& graph_;
    Schedule schedule_;
    BestSearch* partner_;
    ChargedShare share_;
    SymmetryImages images_;
    // Legal jumps in the graph's order, so the order the searches try them in does not depend
    // on the way they were found.
    MoveGenerator moves_;
    EndingBounds bounds_;
    // Per slot, in 1/rankUnit of a rank: the rim cost of a match there (empty: not used). A
    // match on a slot that few jumps can move or take off (the board's rim, its corners) is
    // hard to clear late in a game: ranked as a cost, the beams clear the rim early, and on
    // the dense figures they meet single-match endings at narrower widths. Only the whole
    // search beside a second one ranks with it, in a beam of each width after its plain one
    // (which some figures need); the second search keeps the plain rank.
    std::vector<int64_t> rimCost_;
    bool rimRanked_ = false;  // the beam under way ranks with rimCost_
    static constexpr int64_t rankUnit = 16;
    int32_t fixed_;               // matches outside the graph
    int32_t floor_;               // graph matches no game can end below, from the start's bounds
    uint32_t maxWidth_;           // the widest beam the memory allows
    std::vector<Bits> partners_;  // per slot: the slots it can jump with or be jumped by

    // Progress of the schedule, kept between runs.
    uint32_t width_ = 64;
    uint64_t round_ = 0;
    uint64_t descendWork_ = 0;

    // Depth-first search.
    std::unique_ptr<RefutedPositions> table_;
    std::vector<Jump> path_;
    uint64_t workLeft_ = 0;
    const std::atomic<bool>* stop_ = nullptr;
    bool aborted_ = false;
    std::vector<int32_t> legalRows_;  // per depth: the legal jumps, their children's canonical
    std::vector<Bits> canonRows_;     // forms and the order they are tried in
    std::vector<std::pair<int32_t, int32_t>> orderRows_;

    mutable std::mutex lock_;
    BestEnding result_;
    std::atomic<uint64_t> jumps_{0};
};

}  // namespace kvarlo::engine
