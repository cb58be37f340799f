// The hand-over of a search's results from its thread to the window's thread: the search posts
// snapshots and marks the last one; the window takes the newest on each tick.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "solver/solver_results.h"

namespace kvarlo {

class ResultsHandOver {
public:
    struct Taken {
        std::unique_ptr<SolverResults> results;  // null when nothing new was posted
        bool ended = false;                      // the last results were posted
    };

    // Only while no search runs.
    void reset() {
        std::lock_guard<std::mutex> guard(lock_);
        staged_.reset();
        ended_.store(false);
    }

    // On the search's thread: replaces any snapshot not taken yet.
    void post(std::unique_ptr<SolverResults> results) {
        std::lock_guard<std::mutex> guard(lock_);
        staged_ = std::move(results);
    }

    // On the search's thread, once: the final results, then the end. Without final results
    // (the system refused the memory for them) a snapshot not taken yet stays for the window.
    void postLast(std::unique_ptr<SolverResults> results) {
        if (results) {
            post(std::move(results));
        }
        ended_.store(true, std::memory_order_release);
    }

    // On the window's thread. The end is read before the results: once it is seen, the final
    // results were posted before it and are taken now or were taken already, so a caller that
    // stops taking at the end never leaves them behind. Read the other way round, the final
    // post and the end could both land between the two steps.
    Taken take() {
        Taken taken;
        taken.ended = ended_.load(std::memory_order_acquire);
        if (betweenEndAndResults) {
            betweenEndAndResults();
        }
        std::lock_guard<std::mutex> guard(lock_);
        taken.results = std::move(staged_);
        return taken;
    }

    // For tests: runs inside take(), between its two steps, so the order can be checked
    // without racing a thread.
    std::function<void()> betweenEndAndResults;

private:
    std::mutex lock_;
    std::unique_ptr<SolverResults> staged_;
    std::atomic<bool> ended_{false};
};

}  // namespace kvarlo
