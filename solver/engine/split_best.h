// The best-ending search of a figure that falls into independent parts (see parts.h): one
// search per part, each on its own smaller graph with its own bounds, on threads of their own,
// and a result that adds the parts up. A figure of one part gets the plain search on its graph;
// when its matches lie in separate clusters all the same, each cluster is searched alone
// beside it, and the clusters' endings played one after another, when that is a real game of
// the whole, are offered to it as a best found. A dense figure of one part gets a second search
// beside its own, of beams ranked with a random spread, that hands
// it every ending it finds: which beam finds a figure's best first varies from figure to figure.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "solver/engine/best.h"
#include "solver/engine/budget.h"
#include "solver/engine/graph.h"
#include "solver/engine/parts.h"

namespace kvarlo::engine {

class SplitBestSearch {
public:
    // Each part's search gets an equal slice of `bytes` (see BestSearch); a figure of one part
    // searched by clusters gives half of it to the clusters, and the second search takes a
    // quarter. Only figures of at least `clusteredFrom` matches, with two clusters of at least
    // `clusterFrom`, are searched by clusters: the exact layers finish smaller figures, and a
    // few stray matches beside one large body gain nothing from it; the clusters' threads would
    // only slow the rest down. The second search runs from `helpedFrom` matches: below that the
    // whole search's own beams and depth-first searches find the best soon, and the ones they
    // take long over are found by the depth-first search, whose time the second one would take.
    SplitBestSearch(const JumpGraph& graph, MemoryBudget& budget, uint64_t bytes, bool useSymmetry,
                    int32_t clusteredFrom = 26, int32_t clusterFrom = 8, int32_t helpedFrom = 40);
    ~SplitBestSearch();
    SplitBestSearch(const SplitBestSearch&) = delete;
    SplitBestSearch& operator=(const SplitBestSearch&) = delete;

    // Runs every unproven part's search (and cluster's) until `stop` is set or every part is
    // proven. Memory the system refuses on any of their threads comes out of this call as
    // std::bad_alloc.
    void run(const std::atomic<bool>& stop);

    // The parts added up: a best once every part has one (their sequences one after another,
    // legal in turn since no jump of one part touches another), proven as far as every part
    // is. Safe from any thread.
    BestEnding result() const;
    bool finished() const;
    size_t parts() const { return searches_.size(); }
    size_t clusters() const { return clusters_.size(); }

private:
    // A figure of one part: the whole figure's search, its second search and its clusters'.
    void searchWhole(const SlotDistances& distances, MemoryBudget& budget, uint64_t bytes,
                     bool useSymmetry, int32_t clusteredFrom, int32_t clusterFrom,
                     int32_t helpedFrom);
    // Plays the clusters' bests one after another on the whole graph; a legal game to a dead
    // end is offered to the whole figure's search.
    void offerClusters();

    const JumpGraph& graph_;
    std::vector<std::unique_ptr<JumpGraph>> graphs_;  // the parts' and clusters' graphs
    std::vector<std::unique_ptr<BestSearch>> searches_;
    std::unique_ptr<BestSearch> helper_;  // the second search of a figure of one part
    std::vector<std::unique_ptr<BestSearch>> clusters_;
    std::mutex offerLock_;
};

}  // namespace kvarlo::engine
