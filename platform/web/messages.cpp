// The browser's side of the message queue: the program's thread waits on a condition (the page's
// main thread never waits, it only posts), and the boxes the page shows are answered by number.
#include <emscripten.h>
#include <emscripten/threading.h>

#include <map>
#include <utility>

#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

// The boxes awaiting the page's answer, under the queue's lock.
struct Answers {
    std::map<int, PageAnswer> pending;
    int next = 1;
    bool arrived = false;  // one came since the program's thread last looked
};

Answers& answers() {
    static auto* a = new Answers;
    return *a;
}

}  // namespace

void waitForWork() {
    deliverFinishedSaves();
    // An answer that came makes the waiting loop look at its answer again.
    waitOnQueue([] { return std::exchange(answers().arrived, false); });
}

void wakeEventLoop() {}  // the program's thread has none: waitOnQueue's condition wakes it

void letInputIn() {}  // the page's input is posted as it happens

bool onWindowThread() {
    return !emscripten_is_main_browser_thread();
}

bool runModalLoop(const bool& done) {
    MSG msg;
    for (;;) {
        {
            std::lock_guard lock(queueMutex());
            if (done)
                return true;
        }
        if (!takeMessage(msg, nullptr, 0, 0, true)) {
            waitForWork();
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // left for the main loop
            return false;
        }
        DispatchMessageA(&msg);
    }
}

int expectAnswer() {
    Answers& a = answers();
    std::lock_guard lock(queueMutex());
    const int number = a.next++;
    a.pending[number] = PageAnswer{};
    return number;
}

PageAnswer awaitAnswer(int number) {
    Answers& a = answers();
    const bool* done = nullptr;
    {
        std::lock_guard lock(queueMutex());
        done = &a.pending[number].done;  // map nodes stay put while others come and go
    }
    runModalLoop(*done);
    std::lock_guard lock(queueMutex());
    PageAnswer answer = a.pending[number];
    a.pending.erase(number);
    return answer;
}

bool giveAnswer(int number, int value, const std::string& utf8Text) {
    Answers& a = answers();
    {
        std::lock_guard lock(queueMutex());
        auto it = a.pending.find(number);
        if (it == a.pending.end() || it->second.done)
            return false;  // answered already, or no longer awaited
        it->second.value = value;
        it->second.text = utf8Text;
        it->second.done = true;
        a.arrived = true;
    }
    wakeQueue();
    return true;
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

// The page's way in: input and menu commands as posted messages, and the answers of boxes.
extern "C" {

EMSCRIPTEN_KEEPALIVE void kvarlo_web_post(uintptr_t window, unsigned message, uintptr_t wParam,
                                          intptr_t lParam) {
    PostMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam);
}

EMSCRIPTEN_KEEPALIVE void kvarlo_web_answer(int number, int value, const char* utf8Text) {
    giveAnswer(number, value, utf8Text != nullptr ? utf8Text : "");
}

}  // extern "C"
