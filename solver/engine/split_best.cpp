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
                                 bool useSymmetry)
    : graph_(graph) {
    std::vector<FigurePart> parts = independentParts(SlotDistances(graph), graph.start);
    mergeSmallest(parts, maxParts);
    if (parts.size() < 2) {
        searches_.push_back(std::make_unique<BestSearch>(graph, budget, bytes, useSymmetry));
        return;
    }
    for (const FigurePart& part : parts) {
        graphs_.push_back(std::make_unique<JumpGraph>(partGraph(graph, part)));
        searches_.push_back(std::make_unique<BestSearch>(*graphs_.back(), budget,
                                                         bytes / parts.size(), useSymmetry));
    }
}

SplitBestSearch::~SplitBestSearch() = default;

void SplitBestSearch::run(const std::atomic<bool>& stop) {
    std::vector<BestSearch*> open;
    for (const auto& s : searches_) {
        if (!s->finished()) {
            open.push_back(s.get());
        }
    }
    if (open.empty()) {
        return;
    }
    // The first open part runs on this thread, the others on threads of their own; a part
    // whose thread the system will not start runs here after the first.
    std::vector<std::exception_ptr> failures(open.size());
    std::vector<std::thread> threads;
    std::vector<BestSearch*> here{open.front()};
    for (size_t i = 1; i < open.size(); ++i) {
        try {
            threads.emplace_back([&failures, &stop, search = open[i], i] {
                try {
                    search->run(stop);
                } catch (...) {
                    failures[i] = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            here.push_back(open[i]);
        }
    }
    try {
        for (BestSearch* search : here) {
            search->run(stop);
        }
    } catch (...) {
        failures[0] = std::current_exception();
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

BestEnding SplitBestSearch::result() const {
    if (searches_.size() == 1) {
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
