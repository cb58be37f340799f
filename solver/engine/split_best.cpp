// One best-ending search per independent part, their results added up.
#include "solver/engine/split_best.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "solver/engine/parts.h"

namespace kvarlo::engine {

namespace {

// Parts beyond this many are merged (the smallest first), so a figure of many small groups
// does not start a thread for each beside the layers' own.
constexpr size_t maxParts = 4;

}  // namespace

SplitBestSearch::SplitBestSearch(const JumpGraph& graph, MemoryBudget& budget, uint64_t bytes,
                                 bool useSymmetry, int32_t clusteredFrom, int32_t clusterFrom,
                                 int32_t helpedFrom)
    : graph_(graph) {
    const SlotDistances distances(graph);
    std::vector<FigurePart> parts = independentParts(distances, graph.start);
    mergeSmallest(parts, maxParts);
    if (parts.size() < 2) {
        searchWhole(distances, budget, bytes, useSymmetry, clusteredFrom, clusterFrom, helpedFrom);
        return;
    }
    for (const FigurePart& part : parts) {
        graphs_.push_back(std::make_unique<JumpGraph>(partGraph(graph, part)));
        searches_.push_back(std::make_unique<BestSearch>(*graphs_.back(), budget,
                                                         bytes / parts.size(), useSymmetry));
    }
}

void SplitBestSearch::searchWhole(const SlotDistances& distances, MemoryBudget& budget,
                                  uint64_t bytes, bool useSymmetry, int32_t clusteredFrom,
                                  int32_t clusterFrom, int32_t helpedFrom) {
    std::vector<FigurePart> clusters = clustersOf(distances, graph_.start);
    mergeSmallest(clusters, maxParts);
    const auto large = [clusterFrom](const FigurePart& c) {
        return c.matches.count() >= clusterFrom;
    };
    const bool byClusters = graph_.start.count() >= clusteredFrom &&
                            std::count_if(clusters.begin(), clusters.end(), large) >= 2;
    const bool helped = graph_.start.count() >= helpedFrom;
    // The second search keeps only beams, whose store is the beam itself: a quarter is plenty.
    const uint64_t clusterBytes = byClusters ? bytes / 2 : 0;
    const uint64_t helperBytes = helped ? bytes / 4 : 0;
    searches_.push_back(std::make_unique<BestSearch>(
        graph_, budget, bytes - clusterBytes - helperBytes, useSymmetry,
        helped ? BestSearch::Schedule::FewerDescents : BestSearch::Schedule::Alternate));
    if (helped) {
        helper_ =
            std::make_unique<BestSearch>(graph_, budget, helperBytes, useSymmetry,
                                         BestSearch::Schedule::Beams, searches_.front().get());
    }
    for (size_t i = 0; byClusters && i < clusters.size(); ++i) {
        graphs_.push_back(std::make_unique<JumpGraph>(partGraph(graph_, clusters[i])));
        clusters_.push_back(std::make_unique<BestSearch>(
            *graphs_.back(), budget, clusterBytes / clusters.size(), useSymmetry));
    }
}

SplitBestSearch::~SplitBestSearch() = default;

namespace {

struct SearchTask {
    BestSearch* search;
    bool helping;  // a cluster's search or the second search: serves the whole one's
    bool cluster;
};

// The searches still open, the whole figure's (or the parts') first: helpers only beside one.
std::vector<SearchTask> openTasks(const std::vector<std::unique_ptr<BestSearch>>& searches,
                                  BestSearch* helper,
                                  const std::vector<std::unique_ptr<BestSearch>>& clusters) {
    std::vector<SearchTask> open;
    for (const auto& s : searches) {
        if (!s->finished()) {
            open.push_back(SearchTask{s.get(), false, false});
        }
    }
    if (helper && !open.empty()) {
        open.push_back(SearchTask{helper, true, false});
    }
    for (const auto& s : clusters) {
        if (!open.empty() && !s->finished()) {
            open.push_back(SearchTask{s.get(), true, true});
        }
    }
    return open;
}

}  // namespace

void SplitBestSearch::run(const std::atomic<bool>& stop) {
    // The whole figure's search (or the first part's) runs on this thread, every other open
    // search on a thread of its own; one whose thread the system will not start runs here
    // after it. A cluster's search that ends offers the clusters' game.
    const std::vector<SearchTask> open = openTasks(searches_, helper_.get(), clusters_);
    if (open.empty()) {
        return;
    }
    // The clusters and the second search serve the whole figure's search only: they stop when
    // it does.
    std::atomic<bool> wholeDone{false};
    std::vector<std::exception_ptr> failures(open.size());
    const auto perform = [&](const SearchTask& task, size_t i) {
        try {
            task.search->run(task.helping ? wholeDone : stop);
            if (task.cluster) {
                offerClusters();
            }
        } catch (...) {
            failures[i] = std::current_exception();
        }
        if (i == 0) {
            wholeDone = true;
        }
    };
    std::vector<std::thread> threads;
    std::vector<size_t> here{0};
    for (size_t i = 1; i < open.size(); ++i) {
        try {
            threads.emplace_back(perform, open[i], i);
        } catch (const std::system_error&) {
            here.push_back(i);
        }
    }
    for (size_t i : here) {
        perform(open[i], i);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
}

void SplitBestSearch::offerClusters() {
    std::lock_guard<std::mutex> guard(offerLock_);
    std::vector<Jump> jumps;
    for (const auto& c : clusters_) {
        const BestEnding r = c->result();
        if (r.best == noResult) {
            return;
        }
        jumps.insert(jumps.end(), r.jumps.begin(), r.jumps.end());
    }
    // Each cluster's game is legal alone; the whole figure's other matches may block a jump or
    // leave one possible at the end, so only a game that plays through to a dead end counts.
    Bits p = graph_.start;
    for (const Jump& j : jumps) {
        if (!canJump(p, j)) {
            return;
        }
        p = afterJump(p, j);
    }
    for (const Jump& j : graph_.jumps) {
        if (canJump(p, j)) {
            return;
        }
    }
    searches_.front()->offer(p.count(), std::move(jumps));
}

BestEnding SplitBestSearch::result() const {
    if (searches_.size() == 1) {  // clusters' games are offered to it
        return searches_.front()->result();
    }
    BestEnding sum;
    sum.best = graph_.fixedMatches;
    sum.lowest = graph_.fixedMatches;
    for (const auto& s : searches_) {
        const BestEnding part = s->result();
        sum.jumpsGenerated += part.jumpsGenerated;
        sum.lowest += part.lowest;
        if (sum.best == noResult || part.best == noResult) {
            sum.best = noResult;
            continue;
        }
        sum.best += part.best;
        sum.jumps.insert(sum.jumps.end(), part.jumps.begin(), part.jumps.end());
        sum.foundAt = std::max(sum.foundAt, part.foundAt);
    }
    if (sum.best == noResult) {
        sum.jumps.clear();
    }
    return sum;
}

bool SplitBestSearch::finished() const {
    return std::all_of(searches_.begin(), searches_.end(),
                       [](const auto& s) { return s->finished(); });
}

}  // namespace kvarlo::engine
