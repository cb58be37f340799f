// The first SIGINT or SIGTERM sets a flag the command looks at; the handler does nothing else,
// since little is safe inside one.
#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace kvarlo::cli {

namespace {

// Set inside the handler, on whatever thread the signal lands: lock-free, so that is safe.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int signal) {
    caught.store(signal);
    // signal() is safe in a handler; the second signal, either one, finds the default.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace

void catchInterrupts() {
    caught.store(0);
#if defined(_WIN32)
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#else
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Calls the signal lands in go on: a write of the results half done is not cut short.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

int interruption() {
    return caught.load();
}

int interruptedStatus(int signal) {
    return 128 + signal;
}

const char* signalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
}

}  // namespace kvarlo::cli
