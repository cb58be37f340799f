// Solver control: the busy flag and the stop request between the window and the search, and the
// one entry point that serves every solver command. The search runs on threads of its own; the
// window's thread only starts it, asks it to stop and takes its results on timer ticks, so the
// record the paint reads is only ever written on the window's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "board/board.h"
#include "game/clock.h"
#include "game/game.h"
#include "game/interface_state.h"
#include "solver/engine/engine.h"
#include "solver/handover.h"
#include "solver/results.h"

namespace kvarlo {

// The state the solver commands work on: the program's single instances.
struct SolverContext {
    Board* board = nullptr;
    MoveHistory* history = nullptr;
    GameState* game = nullptr;
    WindowState* window = nullptr;
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

    // The host and the clock must outlive the control.
    SolverControl(std::atomic<int32_t>& busy, const SolverContext& context, SolverHost& host,
                  engine::EngineOptions options = {}, const Clock& clock = systemClock());
    ~SolverControl();
    SolverControl(const SolverControl&) = delete;
    SolverControl& operator=(const SolverControl&) = delete;

    // The entry point of every solver command; does nothing while a search runs. Told apart by
    // what the window prepared: status 0 searches (depth 0: from the start, else on from the
    // depth reached); status 1 or more brings the best solution into the game in Solver mode
    // and continues the search in any other mode.
    void startSearch();
    // Sets busy to 2 while a search runs; a request while idle is dropped.
    void requestStop();
    // On the window's thread: takes the newest results into the record; once the search has
    // ended, joins it, sets busy to 0, stops the ticks and repaints.
    void tick();
    // Stops a running search and waits for it (the window is going away). Results stay as
    // they were last taken.
    void shutdown();

    bool running() const { return thread_.joinable(); }

private:
    void bringBestSolutionIntoGame();
    void search(bool fromStart);

    std::atomic<int32_t>& busy_;
    SolverContext context_;
    SolverHost& host_;
    engine::EngineOptions options_;
    const Clock& clock_;

    std::unique_ptr<engine::SearchEngine> engine_;
    Board searched_{7, 7};  // the position the engine works on, for checking its solution
    std::thread thread_;
    std::atomic<bool> quitting_{false};
    int64_t elapsedBefore_ = 0;  // ms of earlier runs that this one continues
    int64_t ticks_ = 0;
    ResultsHandOver handOver_;  // newest results, waiting for the next tick
};

// The program's flag: 0 idle, 1 a search runs, 2 a stop has been asked for.
extern std::atomic<int32_t> busy;

// The program's single control, bound once at start-up to its globals and its window; the host
// must outlive it.
void bindSolver(const SolverContext& context, SolverHost& host, const Clock& clock = systemClock());
void startSearch();
void requestStop();
void solverTick();
void shutdownSolver();

}  // namespace kvarlo
