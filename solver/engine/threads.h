// The engine's threads: work spread over a fixed number of them, and the tick that lets a
// caller stop long work.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kvarlo::engine {

// The engine's one way onto threads: work(t) for t in [0, threads), this thread being 0. While
// the others finish, this thread calls `waiting` about every 5 ms, so a stop asked for then
// stays prompt, and goes on as soon as the last one is done.
// Every caller hands its work out from a shared counter, so a thread the system will not start
// (under an address-space limit its stack may not fit) leaves its share to the others. An
// exception that work(t) throws (std::bad_alloc: the system refused memory) ends that share and
// is thrown again here once every thread is done: none is left running on this frame, and none
// reaches std::terminate at the top of a thread.
template <typename F>
void onThreads(int32_t threads, F&& work, const std::function<void()>& waiting = {}) {
    std::mutex doneLock;
    std::condition_variable doneSignal;
    int32_t running = 0;
    std::exception_ptr failure;
    auto guarded = [&](auto&& f) {
        try {
            f();
        } catch (...) {
            std::lock_guard<std::mutex> guard(doneLock);
            failure = failure ? failure : std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<size_t>(threads));
    for (int32_t t = 1; t < threads; ++t) {
        std::lock_guard<std::mutex> guard(doneLock);
        try {
            pool.emplace_back([&, t] {
                guarded([&] { work(t); });
                std::lock_guard<std::mutex> guard(doneLock);
                if (--running == 0) {
                    doneSignal.notify_one();
                }
            });
        } catch (...) {
            break;  // no thread: the others take its share
        }
        ++running;
    }
    guarded([&] { work(0); });
    {
        std::unique_lock<std::mutex> guard(doneLock);
        while (!doneSignal.wait_for(guard, std::chrono::milliseconds(5),
                                    [&] { return running == 0; })) {
            if (waiting) {
                guard.unlock();
                guarded(waiting);
                guard.lock();
            }
        }
    }
    for (std::thread& t : pool) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

// Calls `tick`, if any, when 50 ms have passed since `last`; true when it asks to stop.
inline bool ticked(const std::function<bool()>& tick, std::chrono::steady_clock::time_point& last) {
    if (!tick) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(50)) {
        return false;
    }
    last = now;
    return tick();
}

// work(i) for i in [0, count), taken in turn by the threads; false when a work item fails, or
// when `tick` (asked on this thread about every 50 ms, then every 5 ms while it waits) stops
// the rest.
template <typename F>
bool onItems(int32_t threads, int32_t count, F&& work, const std::function<bool()>& tick) {
    std::atomic<int32_t> nextItem{0};
    std::atomic<bool> stopped{false};
    // The first item looks at once: the work before may have looked up to 50 ms ago.
    std::chrono::steady_clock::time_point lastTick{};
    onThreads(
        threads,
        [&](int32_t t) {
            try {
                for (int32_t i = nextItem++; i < count && !stopped; i = nextItem++) {
                    if (!work(i) || (t == 0 && ticked(tick, lastTick))) {
                        stopped = true;
                    }
                }
            } catch (...) {
                stopped = true;  // the others stop too; onThreads throws it on
                throw;
            }
        },
        [&] {
            try {
                stopped = stopped || (tick && tick());
            } catch (...) {
                stopped = true;
                throw;
            }
        });
    return !stopped;
}

}  // namespace kvarlo::engine
