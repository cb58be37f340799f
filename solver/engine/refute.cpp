// The search for "no ending with at most k matches", and its loop beside the best-ending one.
#include "solver/engine/refute.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <thread>

namespace kvarlo::engine {

namespace {

// How often the search looks at the stop flag, in positions.
constexpr uint64_t stopCheckMask = 4095;

// The groups' bounds of p added up, or 0 when p is one group.
int32_t addedUpBounds(const CrossingGroups& crossing, const EndingBounds& bounds, Bits p) {
    // No match of one group ever jumps over one of another, so every position of a game
    // from p holds, of each group, a position the group reaches playing alone; the bounds
    // hold for every position a group reaches, not only for its endings.
    const std::vector<FigurePart> groups = crossing.of(p);
    if (groups.size() < 2) {
        return 0;
    }
    int32_t lowest = 0;
    for (const FigurePart& group : groups) {
        lowest += bounds.lowest(group.matches);
    }
    return lowest;
}

// Looks a best stands before the start's bounds are tried on it.
constexpr int32_t startLooks = 2;

// True when the start's matches are not all linked by jumps over one another: only then can
// its groups bound more than the start's own bounds, which the best-ending search has.
bool severalClusters(const JumpGraph& graph) {
    const Bits start = graph.start;
    if (start.empty()) {
        return false;
    }
    const int32_t seed =
        start.lo != 0 ? std::countr_zero(start.lo) : 64 + std::countr_zero(start.hi);
    return linkedMatches(jumpPartners(graph), start, seed) != start;
}

}  // namespace

RefutationSearch::RefutationSearch(const JumpGraph& graph, uint64_t tableBytes, bool useSymmetry,
                                   bool programs, bool byParts)
    : graph_(graph),
      images_(graph, useSymmetry ? static_cast<int32_t>(graph.symmetries.size()) : 1),
      moves_(graph),
      bounds_(graph),
      distances_(graph),
      lastMatch_(graph, distances_),
      groups_(distances_),
      table_(std::make_unique<RefutedPositions>(tableBytes)),
      programs_(programs),
      byParts_(byParts) {
    const size_t rows = (graph.jumps.size() + 1) * (graph.start.count() + 1);
    legalRows_.resize(rows);
    canonRows_.resize(rows);
}

RefutationSearch::~RefutationSearch() = default;

bool RefutationSearch::solvePrograms() {
    // The slots a last single match may stand on: those of the start's parity class.
    for (int32_t s = 0; s < graph_.slotCount && !programsSolved_; ++s) {
        if (stop_->load(std::memory_order_relaxed)) {
            return false;
        }
        if (bounds_.sameClass(graph_.start, Bits::bit(s))) {
            lastMatch_.addProgram(s, graph_.start);
        }
    }
    programsSolved_ = true;
    return true;
}

RefutationSearch::Outcome RefutationSearch::run(int32_t target, const std::atomic<bool>& stop) {
    stop_ = &stop;
    stopped_ = false;
    target_ = target;
    path_.clear();
    if (programs_ && target <= 1 && !solvePrograms()) {
        return Outcome::stopped;
    }
    if (search(graph_.start, 0)) {
        return Outcome::found;
    }
    return stopped_ ? Outcome::stopped : Outcome::refuted;
}

bool RefutationSearch::cutOff(Bits p) {
    if (bounds_.lowest(p) > target_) {
        return true;
    }
    if (byParts_ && partsEndAboveTarget(p)) {
        ++partCuts_;
        return true;
    }
    return noLastMatch(p);
}

bool RefutationSearch::partsEndAboveTarget(Bits p) const {
    return groupsLowest(p) > target_;
}

int32_t RefutationSearch::groupsLowest(Bits p) const {
    return addedUpBounds(groups_, bounds_, p);
}

int32_t lowestAtStart(const JumpGraph& graph) {
    const SlotDistances distances(graph);
    const EndingBounds bounds(graph);
    return std::max(bounds.lowest(graph.start),
                    addedUpBounds(CrossingGroups(distances), bounds, graph.start));
}

bool RefutationSearch::noLastMatch(Bits p) const {
    // When the matches that never move leave room for one more only, the game must end with
    // a single moving match on a slot of p's class that it can still put a match on.
    const Bits fixed = bounds_.permanent(p);
    if (target_ - fixed.count() != 1) {
        return false;
    }
    const Bits rest = p ^ fixed;
    for (int32_t s = 0; s < graph_.slotCount; ++s) {
        if (!fixed.test(s) && bounds_.sameClass(rest, Bits::bit(s)) &&
            !lastMatch_.excludes(rest, s)) {
            return false;
        }
    }
    return true;
}

bool RefutationSearch::search(Bits p, int32_t depth) {
    // Each depth has its rows of the buffers (a jump removes a match, so the depth stays
    // below the start's matches): the search allocates nothing as it goes.
    const size_t row = graph_.jumps.size() + 1;
    int32_t* legal = legalRows_.data() + depth * row;
    Bits* canon = canonRows_.data() + depth * row;
    const int32_t n = moves_.legalJumpsInGraphOrder(p, legal);
    if (n == 0) {
        return p.count() <= target_;
    }
    if ((++positions_ & stopCheckMask) == 0 && stop_->load(std::memory_order_relaxed)) {
        stopped_ = true;
        return false;
    }
    if (cutOff(p)) {
        return false;
    }
    SymmetryImages::Images images;
    images_.imagesOf(p, images);
    images_.children(images, legal, n, canon);
    for (int32_t k = 0; k < n; ++k) {
        if (table_->refutes(canon[k], target_)) {
            continue;
        }
        const Jump& j = graph_.jumps[legal[k]];
        path_.push_back(j);
        if (search(afterJump(p, j), depth + 1)) {
            return true;
        }
        path_.pop_back();
        if (stopped_) {
            return false;
        }
        table_->store(canon[k], target_);
    }
    return false;
}

BestEnding BelowBest::found() const {
    std::lock_guard<std::mutex> guard(lock_);
    return found_;
}

BestEnding BelowBest::bestKnown(const std::function<BestEnding()>& known) const {
    BestEnding k = known();
    const BestEnding own = found();
    if (own.best != noResult && (k.best == noResult || own.best < k.best)) {
        k.best = own.best;
        k.jumps = own.jumps;
        k.foundAt = own.foundAt;
    }
    return k;
}

void BelowBest::keep(const std::vector<Jump>& jumps) {
    Bits p = graph_.start;
    for (const Jump& j : jumps) {
        p = afterJump(p, j);
    }
    std::lock_guard<std::mutex> guard(lock_);
    found_.best = p.count() + graph_.fixedMatches;
    found_.jumps = jumps;
    found_.foundAt = std::chrono::steady_clock::now();
}

void BelowBest::run(const std::function<BestEnding()>& known, int32_t settleLooks,
                    uint64_t tableBytes, bool useSymmetry, const std::atomic<bool>& stop) {
    std::unique_ptr<RefutationSearch> search;
    bool apart = severalClusters(graph_);  // until the start's bounds are found
    int32_t seen = noResult;  // the best of the last look, and the look it first came in
    int32_t seenSince = 0;
    for (int32_t look = 0; !stop.load(std::memory_order_relaxed); ++look) {
        const BestEnding k = bestKnown(known);
        if (k.best != noResult && k.best <= std::max(k.lowest, lowest())) {
            return;
        }
        if (k.best != seen) {
            seen = k.best;
            seenSince = look;
        }
        // A best the beams are still lowering, or one the other searches prove soon, is left
        // to them: the search starts on a best that has stood as long as it took to come,
        // and at least `settleLooks`. The time spent on proofs follows the time that finding
        // better has stopped paying. A best found here is below every other: it goes on at
        // once, its table of refuted positions still good for the lower target.
        const bool ownBest = k.best != noResult && k.best == found().best;
        const bool settled = ownBest || look - seenSince >= std::max(settleLooks, seenSince);
        if (k.best != noResult && apart && (settled || look - seenSince >= startLooks)) {
            // The start's own bounds need no search: a figure whose groups never meet is
            // proven as soon as a best reaches their sum. Tried once a best has stood for a
            // few looks: most figures are proven sooner by the other searches.
            apart = false;
            lowest_.store(lowestAtStart(graph_) + graph_.fixedMatches, std::memory_order_relaxed);
            continue;
        }
        if (k.best == noResult || !settled) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (!search) {
            search = std::make_unique<RefutationSearch>(graph_, tableBytes, useSymmetry);
        }
        const int32_t target = k.best - 1 - graph_.fixedMatches;
        attempts_.fetch_add(1, std::memory_order_relaxed);
        const RefutationSearch::Outcome outcome = search->run(target, stop);
        if (outcome == RefutationSearch::Outcome::refuted) {
            lowest_.store(k.best, std::memory_order_relaxed);
            return;
        }
        if (outcome == RefutationSearch::Outcome::found) {
            keep(search->ending());
        }
    }
}

}  // namespace kvarlo::engine
