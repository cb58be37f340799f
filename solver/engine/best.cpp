// The best-ending search: beam searches of growing width and a depth-first search that
// lowers the target until it is searched through.
#include "solver/engine/best.h"

#include <algorithm>

namespace kvarlo::engine {

namespace {

// A beam's memory per unit of width: each level keeps a position and its parent, and the
// children of one level wait to be ranked (about 40 per position on the densest figures).
uint64_t beamBytesPerWidth(int32_t matches) {
    return static_cast<uint64_t>(matches) * 24 + 40 * 32;
}

// Wider beams take seconds per level on the densest figures, and sorting a level's children
// must stay well within the time a stop may take.
constexpr uint64_t maxBeamWidth = 8192;

// How often the depth-first search looks at the stop flag.
constexpr uint64_t stopCheckMask = 4095;

// The rim cost of a match on the slot that takes part in the most jumps (as the jumping or the
// jumped match) is 0, on a slot that takes part in none `rimWeight` legal jumps; in between in
// proportion. Measured on the dense figures' beams: 2 helped, 4 more; on a sparse random figure
// both hurt, hence a plain beam beside each rim-ranked one.
constexpr int64_t rimWeight = 4;

}  // namespace

std::vector<int64_t> BestSearch::rimCosts(const JumpGraph& graph) {
    std::vector<int64_t> ways(graph.slotCount, 0);
    for (const Jump& j : graph.jumps) {
        ++ways[j.from];
        ++ways[j.over];
    }
    const int64_t most = std::max<int64_t>(1, *std::max_element(ways.begin(), ways.end()));
    std::vector<int64_t> cost(graph.slotCount);
    for (int32_t s = 0; s < graph.slotCount; ++s) {
        cost[s] = (rimWeight * rankUnit * (most - ways[s]) + most / 2) / most;
    }
    return cost;
}

uint64_t BestSearch::share(uint64_t budgetLimit) {
    return std::min<uint64_t>(256ull << 20, budgetLimit / 16);
}

BestSearch::BestSearch(const JumpGraph& graph, MemoryBudget& budget, uint64_t bytes,
                       bool useSymmetry, Schedule schedule, BestSearch* partner)
    : graph_(graph),
      schedule_(schedule),
      partner_(partner),
      share_(budget, bytes),
      images_(graph, useSymmetry ? static_cast<int32_t>(graph.symmetries.size()) : 1),
      moves_(graph),
      bounds_(graph),
      fixed_(graph.fixedMatches),
      floor_(bounds_.lowest(graph.start)),
      // Half of the share for the table, half for the beam.
      table_(std::make_unique<RefutedPositions>(share_.bytes() / 2)) {
    const uint64_t perWidth = beamBytesPerWidth(graph.start.count() + 1);
    maxWidth_ =
        static_cast<uint32_t>(std::clamp<uint64_t>(share_.bytes() / 2 / perWidth, 1, maxBeamWidth));
    width_ = std::min<uint32_t>(width_, maxWidth_);
    const size_t rows = (graph.jumps.size() + 1) * (graph.start.count() + 1);
    legalRows_.resize(rows);
    canonRows_.resize(rows);
    orderRows_.resize(rows);
    partners_.assign(graph.slotCount, Bits{});
    for (const Jump& j : graph.jumps) {
        partners_[j.from].set(j.over);
        partners_[j.over].set(j.from);
    }
    result_.lowest = fixed_ + floor_;
    if (schedule_ == Schedule::FewerDescents) {
        rimCost_ = rimCosts(graph);
    }
}

BestSearch::~BestSearch() = default;

BestEnding BestSearch::result() const {
    std::lock_guard<std::mutex> guard(lock_);
    BestEnding r = result_;
    r.jumpsGenerated = jumps_.load(std::memory_order_relaxed);
    return r;
}

bool BestSearch::finished() const {
    std::lock_guard<std::mutex> guard(lock_);
    return result_.best != noResult && result_.best <= result_.lowest;
}

void BestSearch::improve(int32_t graphMatches, std::vector<Jump> jumps, Finder by, uint32_t width) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int32_t matches = graphMatches + fixed_;
        if (result_.best != noResult && matches >= result_.best) {
            return;
        }
        result_.best = matches;
        result_.jumps = jumps;
        result_.foundAt = std::chrono::steady_clock::now();
        result_.jumpsAtBest = jumps_.load(std::memory_order_relaxed);
        result_.foundBy = by;
        result_.foundWidth = width;
    }
    if (partner_) {
        partner_->offer(graphMatches, std::move(jumps));
    }
}

void BestSearch::raiseLowest(int32_t lowest) {
    std::lock_guard<std::mutex> guard(lock_);
    result_.lowest = std::max(result_.lowest, lowest);
}

int64_t BestSearch::rank(Bits p, int32_t* legal) const {
    // Legal jumps, by the move generator rather than a walk over every jump of the graph: the
    // beam ranks tens of thousands of children per level.
    const int32_t mobility = moves_.legalJumpsOf(p, legal);
    // Matches with no neighbour to jump with or over have to wait for one to come to them.
    int32_t alone = 0;
    int64_t rim = 0;
    forEachBit(p, [&](int32_t s) {
        alone += (partners_[s] & p).empty();
        rim += rimRanked_ ? rimCost_[s] : 0;
    });
    return (int64_t{alone} * 4 - mobility) * rankUnit + rim;
}

void BestSearch::run(const std::atomic<bool>& stop) {
    while (!stop.load(std::memory_order_relaxed) && !finished()) {
        bool through = false;
        if (schedule_ == Schedule::Beams) {
            through = beam(width_, round_, stop);
            if (through) {
                width_ = std::min<uint32_t>(width_ * 2, maxWidth_);
            }
        } else if (round_ % 2 == 0) {
            const uint64_t before = jumps_.load(std::memory_order_relaxed);
            through = beamRound(stop);
            if (through) {
                // The depth-first search gets as much work as the beam had (a quarter of it
                // beside a second search of beams: there the beams find the bests).
                const uint64_t beamWork = jumps_.load(std::memory_order_relaxed) - before;
                descendWork_ = std::max<uint64_t>(
                    descendWork_, schedule_ == Schedule::FewerDescents ? beamWork / 4 : beamWork);
                width_ = std::min<uint32_t>(width_ * 2, maxWidth_);
            }
        } else {
            // Out of work is a round done too: the next beam comes first, then a longer try.
            through = descend(descendWork_, stop) || !stop.load(std::memory_order_relaxed);
            descendWork_ *= 2;
        }
        if (through) {
            ++round_;
        }
    }
}

bool BestSearch::beamRound(const std::atomic<bool>& stop) {
    if (!beam(width_, round_, stop)) {
        return false;
    }
    if (rimCost_.empty() || finished()) {
        return true;
    }
    // The same width once more, the rim ranked as a cost. The plain beam first: a figure whose
    // best a plain beam meets pays only the rim-ranked beams of the narrower widths before it.
    rimRanked_ = true;
    const bool through = beam(width_, round_, stop);
    rimRanked_ = false;
    return through;
}

std::vector<Jump> BestSearch::realJumps(const std::vector<Bits>& chain) const {
    std::vector<Jump> jumps;
    Bits p = graph_.start;
    for (size_t i = 1; i < chain.size(); ++i) {
        for (const Jump& j : graph_.jumps) {
            if (canJump(p, j) && images_.canonical(afterJump(p, j)) == chain[i]) {
                jumps.push_back(j);
                p = afterJump(p, j);
                break;
            }
        }
    }
    return jumps;
}

namespace {

// A position a beam level keeps, and the index of its parent in the level before.
struct BeamNode {
    Bits position;
    uint32_t parent;
};

struct BeamChild {
    Bits position;
    uint32_t parent;
    int64_t rank;
};

// The canonical positions from the start to node `at` of the last level.
std::vector<Bits> chainTo(const std::vector<std::vector<BeamNode>>& levels, size_t at) {
    std::vector<Bits> chain(levels.size());
    for (size_t k = levels.size(); k-- > 0;) {
        chain[k] = levels[k][at].position;
        at = levels[k][at].parent;
    }
    return chain;
}

// Leaves one child per position, before the ranking (which looks only at the position).
void keepDistinct(std::vector<BeamChild>& children) {
    std::sort(children.begin(), children.end(),
              [](const BeamChild& a, const BeamChild& b) { return a.position < b.position; });
    children.erase(std::unique(children.begin(), children.end(),
                               [](const BeamChild& a, const BeamChild& b) {
                                   return a.position == b.position;
                               }),
                   children.end());
}

// The next level: the `width` best ranked children, or all of them when fewer.
std::vector<BeamNode> bestChildren(std::vector<BeamChild>& children, uint32_t width) {
    if (children.size() > width) {
        std::nth_element(children.begin(), children.begin() + width, children.end(),
                         [](const BeamChild& a, const BeamChild& b) { return a.rank < b.rank; });
        children.resize(width);
    }
    std::vector<BeamNode> next;
    next.reserve(children.size());
    for (const BeamChild& c : children) {
        next.push_back(BeamNode{c.position, c.parent});
    }
    return next;
}

}  // namespace

bool BestSearch::beam(uint32_t width, uint64_t salt, const std::atomic<bool>& stop) {
    std::vector<std::vector<BeamNode>> levels;
    levels.push_back({BeamNode{images_.canonical(graph_.start), 0}});
    std::vector<BeamChild> children;
    std::vector<int32_t> legal(graph_.jumps.size() + 1);
    std::vector<Bits> canon(graph_.jumps.size() + 1);
    SymmetryImages::Images images;
    int32_t fewest = result().best - fixed_;
    while (true) {
        children.clear();
        const std::vector<BeamNode>& level = levels.back();
        for (uint32_t i = 0; i < level.size(); ++i) {
            const Bits p = level[i].position;
            const int32_t n = moves_.legalJumpsInGraphOrder(p, legal.data());
            jumps_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
            if (n == 0) {
                if (fewest < 0 || p.count() < fewest) {
                    fewest = p.count();
                    improve(fewest, realJumps(chainTo(levels, i)), Finder::Beam, width);
                }
                continue;
            }
            images_.imagesOf(p, images);
            images_.children(images, legal.data(), n, canon.data());
            for (int32_t k = 0; k < n; ++k) {
                children.push_back(BeamChild{canon[k], i, 0});
            }
            if ((i & 63) == 0 && stop.load(std::memory_order_relaxed)) {
                return false;
            }
        }
        if (children.empty()) {
            return true;
        }
        keepDistinct(children);
        for (size_t i = 0; i < children.size(); ++i) {
            // Ties go by a hash that changes from one beam to the next: restarts look at
            // other positions of equal rank (and, spread wider, of nearly equal rank). The
            // hash spans one whole rank (a legal jump): the rim's fractions of one mix with it.
            BeamChild& c = children[i];
            const uint64_t spread = hashBits(c.position) ^ salt * 0x9E37;
            c.rank = rank(c.position, legal.data()) * (65536 / rankUnit) +
                     static_cast<int64_t>(spread % (65536 * rankSpread()));
            if ((i & 255) == 0 && stop.load(std::memory_order_relaxed)) {
                return false;
            }
        }
        levels.push_back(bestChildren(children, width));
    }
}

bool BestSearch::descend(uint64_t work, const std::atomic<bool>& stop) {
    stop_ = &stop;
    workLeft_ = work;
    while (true) {
        const BestEnding known = result();
        const int32_t target =
            (known.best != noResult ? known.best : graph_.startMatches() + 1) - 1 - fixed_;
        if (target < floor_) {
            return true;
        }
        aborted_ = false;
        path_.clear();
        if (descendFrom(graph_.start, 0, target)) {
            continue;  // found one: look for fewer still
        }
        if (aborted_) {
            return false;
        }
        raiseLowest(target + 1 + fixed_);  // searched through: nothing ends with `target`
        return true;
    }
}

bool BestSearch::descendFrom(Bits p, int32_t depth, int32_t target) {
    // Each depth has its rows of the buffers (sized once: a jump removes a match, so the
    // depth stays below the start's matches): the search allocates nothing as it goes.
    const size_t row = graph_.jumps.size() + 1;
    int32_t* legal = legalRows_.data() + depth * row;
    Bits* canon = canonRows_.data() + depth * row;
    std::pair<int32_t, int32_t>* order = orderRows_.data() + depth * row;
    const int32_t n = moves_.legalJumpsInGraphOrder(p, legal);
    jumps_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    if (n == 0) {
        if (p.count() <= target) {
            improve(p.count(), path_, Finder::Descent);
            return true;
        }
        return false;
    }
    if (bounds_.lowest(p) > target) {
        return false;
    }
    SymmetryImages::Images images;
    images_.imagesOf(p, images);
    images_.children(images, legal, n, canon);
    // Jumps that land among matches and leave few behind keep the figure together: first.
    for (int32_t k = 0; k < n; ++k) {
        const Jump& j = graph_.jumps[legal[k]];
        const Bits child = afterJump(p, j);
        const int32_t together =
            (child & partners_[j.to]).count() * 2 - (child & partners_[j.from]).count();
        order[k] = {-together, k};
    }
    std::sort(order, order + n);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t k = order[i].second;
        if (table_->refutes(canon[k], target)) {
            continue;
        }
        workLeft_ -= std::min<uint64_t>(workLeft_, 1);
        if (workLeft_ == 0 ||
            ((workLeft_ & stopCheckMask) == 0 && stop_->load(std::memory_order_relaxed))) {
            aborted_ = true;
            return false;
        }
        const Jump& j = graph_.jumps[legal[k]];
        path_.push_back(j);
        const bool found = descendFrom(afterJump(p, j), depth + 1, target);
        path_.pop_back();
        if (found) {
            return true;
        }
        if (aborted_) {
            return false;
        }
        table_->store(canon[k], target);
    }
    return false;
}

}  // namespace kvarlo::engine
