// Solver control: dispatch of the solver commands, the search thread, and the hand-over of its
// results to the window's thread.
#include "solver/control.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <new>

#include "solver/search_results.h"

namespace kvarlo {

namespace {

// busy becomes 2 only while a search runs: a stop asked for while idle is dropped.
void stopIfRunning(std::atomic<int32_t>& flag) {
    int32_t cur = flag.load();
    while (cur >= 1 && !flag.compare_exchange_weak(cur, 2)) {
    }
}

bool sameGraph(const engine::JumpGraph& a, const engine::JumpGraph& b) {
    if (a.slotCount != b.slotCount || !(a.start == b.start) || a.fixedMatches != b.fixedMatches ||
        a.slotRefs.size() != b.slotRefs.size() || !(a.jumps == b.jumps)) {
        return false;
    }
    for (size_t i = 0; i < a.slotRefs.size(); ++i) {
        if (!(a.slotRefs[i] == b.slotRefs[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

SolverControl::SolverControl(const SolverContext& context, SolverHost& host,
                             engine::EngineOptions options)
    : context_(context), host_(host), options_(options) {}

SolverControl::~SolverControl() {
    shutdown();
}

void SolverControl::searchAnew() {
    if (busy_.load() == 0 && !running()) {
        search(true);
    }
}

void SolverControl::searchOn() {
    if (busy_.load() == 0 && !running()) {
        search(false);
    }
}

void SolverControl::requestStop() {
    stopIfRunning(busy_);
}

void SolverControl::search(bool fromStart) {
    if (!prepareEngine(fromStart)) {
        host_.failureBeep();  // not even the search's first blocks: it does not start
        return;
    }
    searched_ = *context_.board;
    handOver_.reset();
    quitting_ = false;
    ticks_ = 0;
    busy_.store(1);
    try {
        thread_ = std::thread([this] { runSearch(); });
    } catch (const std::exception&) {  // std::system_error, std::bad_alloc
        busy_.store(0);
        host_.failureBeep();  // the system will not start the search's thread
        return;
    }
    host_.startTicks(tickMs);
    host_.requestRepaint();
}

bool SolverControl::prepareEngine(bool fromStart) {
    engine::JumpGraph graph = engine::graphFromBoard(*context_.board);
    // Continuing reuses the layers in memory when they belong to this very position; anything
    // else starts over, which reaches the same depth again on the way.
    const bool reuse = !fromStart && engine_ && sameGraph(engine_->graph(), graph);
    if (!reuse) {
        engine_.reset();
        try {
            engine_ = std::make_unique<engine::SearchEngine>(std::move(graph), options_);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    // The time is that of this search: it runs on only where the engine goes on with its own
    // layers; a fresh engine (a changed position, or results it did not make) starts at zero.
    elapsedBefore_ = reuse ? std::max(0, context_.results->elapsedMs) : 0;
    return true;
}

void SolverControl::runSearch() {
    engine::SearchEngine* engine = engine_.get();
    const auto started = std::chrono::steady_clock::now();
    auto snapshot = [this, engine, started] {
        const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - started)
                               .count();
        auto fresh = std::make_unique<SolverResults>();
        storeReport(engine->report(), engine->graph(), searched_, elapsedBefore_ + ms, *fresh);
        return fresh;
    };
    // Nothing may leave the search's thread by an exception (std::terminate would end the
    // program): memory refused on the way is a memory stop, the search ends incomplete, and the
    // window still gets the results so far and the end.
    std::unique_ptr<SolverResults> last;
    try {
        auto lastStage = std::chrono::steady_clock::now();
        engine->run([this] { return busy_.load() == 2 || quitting_.load(); },
                    [&] {
                        const auto now = std::chrono::steady_clock::now();
                        if (now - lastStage >= std::chrono::milliseconds(tickMs)) {
                            lastStage = now;
                            handOver_.post(snapshot());
                        }
                    });
        last = snapshot();
    } catch (const std::bad_alloc&) {
    }
    handOver_.postLast(std::move(last));
}

void SolverControl::tick() {
    ResultsHandOver::Taken taken = handOver_.take();
    if (taken.results && !quitting_) {
        *context_.results = *taken.results;
    }
    if (taken.ended && thread_.joinable()) {
        thread_.join();
        busy_.store(0);
        host_.stopTicks();
        host_.requestRepaint();
        return;
    }
    if (running() && ++ticks_ % 4 == 0) {
        host_.requestRepaint();
    }
}

void SolverControl::shutdown() {
    if (!thread_.joinable()) {
        return;
    }
    quitting_ = true;
    thread_.join();
    busy_.store(0);
    host_.stopTicks();
}

namespace {
// Destroyed at exit: a search still running is stopped and joined before the process ends.
std::unique_ptr<SolverControl> control;
}  // namespace

void bindSolver(const SolverContext& context, SolverHost& host) {
    if (control) {
        control->shutdown();
    }
    control = std::make_unique<SolverControl>(context, host);
}

void searchAnew() {
    if (control) {
        control->searchAnew();
    }
}

void searchOn() {
    if (control) {
        control->searchOn();
    }
}

void requestStop() {
    if (control) {
        control->requestStop();
    }
}

int32_t solverBusy() {
    return control ? control->busy() : 0;
}

void solverTick() {
    if (control) {
        control->tick();
    }
}

void shutdownSolver() {
    if (control) {
        control->shutdown();
    }
}

}  // namespace kvarlo
