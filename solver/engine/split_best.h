// The best-ending search of a figure that falls into independent parts (see parts.h): one
// search per part, each on its own smaller graph with its own bounds, on threads of their own,
// and a result that adds the parts up. A figure of one part gets the plain search on its graph.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "solver/engine/best.h"
#include "solver/engine/budget.h"
#include "solver/engine/graph.h"

namespace kvarlo::engine {

class SplitBestSearch {
public:
    // Each part's search gets an equal slice of `bytes` (see BestSearch).
    SplitBestSearch(const JumpGraph& graph, MemoryBudget& budget, uint64_t bytes, bool useSymmetry);
    ~SplitBestSearch();
    SplitBestSearch(const SplitBestSearch&) = delete;
    SplitBestSearch& operator=(const SplitBestSearch&) = delete;

    // Runs every unproven part's search until `stop` is set or every part is proven. Memory
    // the system refuses on any part's thread comes out of this call as std::bad_alloc.
    void run(const std::atomic<bool>& stop);

    // The parts added up: a best once every part has one (their sequences one after another,
    // legal in turn since no jump of one part touches another), proven as far as every part
    // is. Safe from any thread.
    BestEnding result() const;
    bool finished() const;
    size_t parts() const { return searches_.size(); }

private:
    const JumpGraph& graph_;
    std::vector<std::unique_ptr<JumpGraph>> graphs_;  // the parts' graphs, when more than one
    std::vector<std::unique_ptr<BestSearch>> searches_;
};

}  // namespace kvarlo::engine
