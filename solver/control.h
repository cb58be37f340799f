// Solver control: the busy flag and the stop request between the window and the search, and the
// operations the window's solver commands are made of (which command means what in which mode
// is the window's business). The search runs on threads of its own; the
// window's thread only starts it, asks it to stop and takes its results on timer ticks, so the
// record the paint reads is only ever written on the window's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "board/board.h"
#include "solver/engine/engine.h"
#include "solver/handover.h"
#include "solver/solver_results.h"

namespace kvarlo {

// What a search works on: the position it searches and the record it fills.
struct SolverContext {
    Board* board = nullptr;
    SolverResults* results = nullptr;
};

// What the control needs from the window: the shell implements it over the window's services,
// tests record the calls. All are called on the window's thread.
class SolverHost {
public:
    virtual ~SolverHost() = default;
    virtual void failureBeep() = 0;
    virtual void requestRepaint() = 0;
    // Have tick() called on the window's thread about every `ms` milliseconds until stopTicks.
    virtual void startTicks(int32_t ms) = 0;
    virtual void stopTicks() = 0;
};

class SolverControl {
public:
    // How often the window's thread takes the results while a search runs; the panel is
    // repainted on every fourth tick and at once when the search ends.
    static constexpr int32_t tickMs = 50;

    // The host must outlive the control.
    SolverControl(const SolverContext& context, SolverHost& host,
                  engine::EngineOptions options = {});
    ~SolverControl();
    SolverControl(const SolverControl&) = delete;
    SolverControl& operator=(const SolverControl&) = delete;

    // Both do nothing while a search runs. Searches the board from the first layer, its time
    // counted from zero.
    void searchAnew();
    // Goes on with the layers kept in memory when they belong to the board's position, its time
    // added to the record's; anything else starts over, which reaches the same depth again.
    void searchOn();
    // Sets busy to 2 while a search runs; a request while idle is dropped.
    void requestStop();
    // On the window's thread: takes the newest results into the record; once the search has
    // ended, joins it, sets busy to 0, stops the ticks and repaints.
    void tick();
    // Stops a running search and waits for it (the window is going away). Results stay as
    // they were last taken.
    void shutdown();

    bool running() const { return thread_.joinable(); }
    // 0 idle, 1 a search runs, 2 a stop has been asked for.
    int32_t busy() const { return busy_.load(); }

private:
    void search(bool fromStart);
    // Makes engine_ the engine to run (kept, or new) and sets the time it continues from; false
    // when the memory for a new one was refused.
    bool prepareEngine(bool fromStart);
    // The search's thread: runs the engine, posting snapshots, then the last results and the end.
    void runSearch();

    std::atomic<int32_t> busy_{0};
    SolverContext context_;
    SolverHost& host_;
    engine::EngineOptions options_;

    std::unique_ptr<engine::SearchEngine> engine_;
    Board searched_{7, 7};  // the position the engine works on, for checking its solution
    std::thread thread_;
    std::atomic<bool> quitting_{false};
    int64_t elapsedBefore_ = 0;  // ms of earlier runs that this one continues
    int64_t ticks_ = 0;
    ResultsHandOver handOver_;  // newest results, waiting for the next tick
};

// The program's single control, bound once at start-up to its instances and its window; the
// host must outlive it. Before that every call is a no-op, and the solver reads as idle.
void bindSolver(const SolverContext& context, SolverHost& host);
void searchAnew();
void searchOn();
void requestStop();
int32_t solverBusy();
void solverTick();
void shutdownSolver();

}  // namespace kvarlo
