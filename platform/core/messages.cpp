// The message queue: posted messages from any thread (the input among them), paints and timers
// made up when due, the quit flag, and the wait that blocks a thread without an event loop on a
// condition until something arrives.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <optional>
#include <unordered_set>

#include "platform/core/window.h"

namespace kvarlo::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    HWND window;
    UINT_PTR id;
    std::chrono::milliseconds interval;
    Clock::time_point due;
    TIMERPROC proc;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 1;
    std::unordered_set<HWND> live;
    std::vector<WindowRecord*> windows;  // live windows in creation order: paints go so
};

Queue& queue() {
    static Queue* q = new Queue;  // outlives every static destructor that might post
    return *q;
}

const Clock::time_point startTime = Clock::now();

bool admits(UINT message, UINT filterMin, UINT filterMax) {
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message >= filterMin && message <= filterMax;
}

// Something is ready for an unfiltered GetMessageA.
bool readyLocked(Queue& q) {
    if (!q.posted.empty() || q.quitPosted)
        return true;
    for (WindowRecord* w : q.windows) {
        if (w->invalid && w->visible)
            return true;
    }
    const auto now = Clock::now();
    return std::any_of(q.timers.begin(), q.timers.end(),
                       [&](const Timer& t) { return t.due <= now; });
}

std::optional<Clock::time_point> earliestDueLocked(const Queue& q) {
    std::optional<Clock::time_point> due;
    for (const Timer& t : q.timers) {
        if (!due || t.due < *due)
            due = t.due;
    }
    return due;
}

bool takePosted(Queue& q, MSG& msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if ((filter != nullptr && it->hwnd != filter) || !admits(it->message, filterMin, filterMax))
            continue;
        msg = *it;
        if (remove)
            q.posted.erase(it);
        return true;
    }
    return false;
}

bool takePaint(Queue& q, MSG& msg, HWND filter) {
    for (WindowRecord* w : q.windows) {
        if (!w->invalid || !w->visible || (filter != nullptr && handleOf(w) != filter))
            continue;
        msg.hwnd = handleOf(w);
        msg.message = WM_PAINT;
        return true;
    }
    return false;
}

bool takeTimer(Queue& q, MSG& msg, HWND filter, bool remove) {
    const auto now = Clock::now();
    for (Timer& t : q.timers) {
        if (t.due > now || (filter != nullptr && t.window != filter))
            continue;
        msg.hwnd = t.window;
        msg.message = WM_TIMER;
        msg.wParam = t.id;
        msg.lParam = reinterpret_cast<LPARAM>(t.proc);
        if (remove)
            t.due = now + t.interval;
        return true;
    }
    return false;
}

}  // namespace

std::mutex& queueMutex() {
    return queue().mutex;
}

void registerLiveWindow(WindowRecord* window) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.live.insert(handleOf(window));
    q.windows.push_back(window);
}

void unregisterLiveWindow(WindowRecord* window) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    const HWND handle = handleOf(window);
    q.live.erase(handle);
    q.windows.erase(std::remove(q.windows.begin(), q.windows.end(), window), q.windows.end());
    q.posted.erase(std::remove_if(q.posted.begin(), q.posted.end(),
                                  [&](const MSG& m) { return m.hwnd == handle; }),
                   q.posted.end());
    q.timers.erase(std::remove_if(q.timers.begin(), q.timers.end(),
                                  [&](const Timer& t) { return t.window == handle; }),
                   q.timers.end());
}

bool isLiveWindow(HWND window) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    return q.live.count(window) != 0;
}

WindowRecord* windowRecord(HWND window) {
    if (window == nullptr || !isLiveWindow(window))
        return nullptr;
    return reinterpret_cast<WindowRecord*>(window);
}

void invalidateWindow(WindowRecord& window, const Rect* rect, bool erase) {
    const Rect whole = window.clientArea();
    {
        std::lock_guard lock(queue().mutex);
        Rect area = whole;
        if (rect != nullptr) {
            area = Rect{std::max(rect->left, 0), std::max(rect->top, 0),
                        std::min(rect->right, whole.right), std::min(rect->bottom, whole.bottom)};
        }
        if (window.invalid) {
            const Rect& was = window.invalidRect;
            area = Rect{std::min(was.left, area.left), std::min(was.top, area.top),
                        std::max(was.right, area.right), std::max(was.bottom, area.bottom)};
        }
        window.invalidRect = area;
        window.invalid = true;
        window.eraseRequested = window.eraseRequested || erase;
    }
    wakeQueue();
}

DWORD messageTime() {
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startTime).count());
}

void wakeQueue() {
    queue().changed.notify_all();
    wakeEventLoop();
}

bool takeMessage(MSG& msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    msg = MSG{};
    msg.time = messageTime();
    GetCursorPos(&msg.pt);
    // Posted messages oldest first, then the quit flag, then paints, then timers, as Windows.
    if (takePosted(q, msg, filter, filterMin, filterMax, remove))
        return true;
    if (q.quitPosted && admits(WM_QUIT, filterMin, filterMax)) {
        msg.hwnd = nullptr;
        msg.message = WM_QUIT;
        msg.wParam = static_cast<WPARAM>(q.quitCode);
        if (remove)
            q.quitPosted = false;
        return true;
    }
    if (admits(WM_PAINT, filterMin, filterMax) && takePaint(q, msg, filter))
        return true;
    return admits(WM_TIMER, filterMin, filterMax) && takeTimer(q, msg, filter, remove);
}

bool messageReady() {
    std::lock_guard lock(queue().mutex);
    return readyLocked(queue());
}

std::optional<Clock::time_point> nextTimerDue() {
    std::lock_guard lock(queue().mutex);
    return earliestDueLocked(queue());
}

void waitOnQueue(const std::function<bool()>& alsoReady) {
    Queue& q = queue();
    std::unique_lock lock(q.mutex);
    if (alsoReady() || readyLocked(q))
        return;
    if (const auto due = earliestDueLocked(q)) {
        q.changed.wait_until(lock, *due);
    } else {
        q.changed.wait(lock);
    }
}

LRESULT callWindowProc(WindowRecord& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window.dialog) {
        // Dialogs: the program's dialog procedure first; a paint it leaves alone is still done.
        const INT_PTR handled = window.dialogProc != nullptr
                                    ? window.dialogProc(handleOf(&window), message, wParam, lParam)
                                    : 0;
        if (!handled && message == WM_PAINT)
            ValidateRect(handleOf(&window), nullptr);
        if (!handled && message == WM_CLOSE)  // closing the box means Cancel
            return callWindowProc(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return handled;
    }
    if (window.proc == nullptr)
        return DefWindowProcA(handleOf(&window), message, wParam, lParam);
    return window.proc(handleOf(&window), message, wParam, lParam);
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (window != nullptr && !isLiveWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    for (;;) {
        if (takeMessage(*msg, window, filterMin, filterMax, true))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        waitForWork();
    }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr)
        return FALSE;
    letInputIn();  // like Windows, a peek lets pending input reach the queue first
    return takeMessage(*msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE
                                                                                           : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Character messages are queued by the layer together with their key message, so there is
    // nothing left to translate; the answer follows Windows: true for every key message, up or
    // down, whether it types a character or not.
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP ||
                              msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSKEYUP);
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    WindowRecord* window = windowRecord(msg->hwnd);
    if (window == nullptr)
        return 0;
    return callWindowProc(*window, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue& q = queue();
    {
        std::lock_guard lock(q.mutex);
        if (window != nullptr && q.live.count(window) == 0) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        MSG msg{};
        msg.hwnd = window;
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.time = messageTime();
        q.posted.push_back(msg);
    }
    wakeQueue();
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Sending is a direct call and therefore only meant for the window's own thread.
    WindowRecord* target = onWindowThread() ? windowRecord(window) : nullptr;
    if (target == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return callWindowProc(*target, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    {
        std::lock_guard lock(queue().mutex);
        queue().quitPosted = true;
        queue().quitCode = exitCode;
    }
    wakeQueue();
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    Queue& q = queue();
    UINT_PTR result = 0;
    {
        std::lock_guard lock(q.mutex);
        if (window != nullptr && q.live.count(window) == 0) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (window == nullptr)
            id = q.nextTimerId++;  // thread timers get a fresh id
        const auto interval = std::chrono::milliseconds(std::clamp<UINT>(elapseMs, 10, 0x7FFFFFFF));
        const Timer timer{window, id, interval, Clock::now() + interval, proc};
        auto it = std::find_if(q.timers.begin(), q.timers.end(),
                               [&](const Timer& t) { return t.window == window && t.id == id; });
        if (it != q.timers.end()) {
            *it = timer;
        } else {
            q.timers.push_back(timer);
        }
        result = window == nullptr ? id : (id != 0 ? id : 1);
    }
    wakeQueue();
    return result;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    auto it = std::find_if(q.timers.begin(), q.timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == q.timers.end())
        return FALSE;
    q.timers.erase(it);
    return TRUE;
}
