// The message queue: posted messages from any thread, synthesized paints and timers, the quit
// flag, and the wait that runs Qt's event loop until something arrives.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <unordered_set>

#include "platform/qt/layer.h"

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
    std::condition_variable changed;  // for waits without a Qt event loop
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 1;
    std::unordered_set<HWND> live;
    std::vector<Window*> windows;  // live windows in creation order: paints go in this order
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

// Receives the wake-up events and arms the timer that ends a wait at the next timer's due time.
class Pump : public QObject {
public:
    static constexpr QEvent::Type wakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x4B56);
    QTimer deadline;
    std::atomic<bool> wakePending{false};
    int foreignModalDepth = 0;

    Pump() {
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, this, [this] { deliverIfForeignModal(); });
    }

    bool event(QEvent* e) override {
        if (e->type() == wakeEvent) {
            wakePending = false;
            deliverIfForeignModal();
            return true;
        }
        return QObject::event(e);
    }

    // Inside a Qt dialog's own loop nobody calls GetMessageA: dispatch what is ready here.
    void deliverIfForeignModal() {
        if (foreignModalDepth == 0)
            return;
        MSG msg;
        int budget = 1000;  // a window that never validates must not freeze the dialog
        while (budget-- > 0 && takeMessage(msg, nullptr, 0, 0, true)) {
            if (msg.message == WM_QUIT) {  // leave it for the main loop
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            DispatchMessageA(&msg);
        }
        armDeadline();
    }

    void armDeadline();
};

std::atomic<Pump*> pump{nullptr};

std::optional<Clock::time_point> nextTimerDue() {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    std::optional<Clock::time_point> due;
    for (const Timer& t : q.timers) {
        if (!due || t.due < *due)
            due = t.due;
    }
    return due;
}

void Pump::armDeadline() {
    const auto due = nextTimerDue();
    if (!due) {
        deadline.stop();
        return;
    }
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(*due - Clock::now()).count();
    deadline.start(static_cast<int>(std::clamp<long long>(wait + 1, 0, 1 << 30)));
}

// Something is ready for an unfiltered GetMessageA.
bool readyLocked(Queue& q) {
    if (!q.posted.empty() || q.quitPosted)
        return true;
    for (Window* w : q.windows) {
        if (w->invalid && w->visible)
            return true;
    }
    const auto now = Clock::now();
    for (const Timer& t : q.timers) {
        if (t.due <= now)
            return true;
    }
    return false;
}

}  // namespace

std::mutex& queueMutex() {
    return queue().mutex;
}

void registerLiveWindow(Window* window) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.live.insert(handleOf(window));
    q.windows.push_back(window);
}

void unregisterLiveWindow(Window* window) {
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

Window* windowFromHandle(HWND window) {
    if (window == nullptr || !isLiveWindow(window))
        return nullptr;
    return reinterpret_cast<Window*>(window);
}

void invalidateWindow(Window& window, const QRect* rect, bool erase) {
    {
        std::lock_guard lock(queue().mutex);
        const QRect whole(QPoint(0, 0), clientSize(window));
        const QRect area = rect ? rect->intersected(whole) : whole;
        window.invalidRect = window.invalid ? window.invalidRect.united(area) : area;
        window.invalid = true;
        window.eraseRequested = window.eraseRequested || erase;
    }
    wakeQueue();
}

DWORD messageTime() {
    return static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startTime).count());
}

bool onGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool haveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void ensurePump() {
    if (pump.load() != nullptr || !onGuiThread())
        return;
    auto* p = new Pump;
    // The pump dies with the application; a later application gets a new one.
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { pump = nullptr; });
    p->setParent(QCoreApplication::instance());
    pump = p;
}

void wakeQueue() {
    queue().changed.notify_all();
    Pump* p = pump.load();
    if (p != nullptr && !p->wakePending.exchange(true)) {
        QCoreApplication::postEvent(p, new QEvent(Pump::wakeEvent));
    }
}

ForeignModalScope::ForeignModalScope() {
    ensurePump();
    if (Pump* p = pump.load()) {
        ++p->foreignModalDepth;
        p->armDeadline();
    }
}

ForeignModalScope::~ForeignModalScope() {
    if (Pump* p = pump.load())
        --p->foreignModalDepth;
}

bool takeMessage(MSG& msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    msg = MSG{};
    msg.time = messageTime();
    POINT cursor{};
    GetCursorPos(&cursor);
    msg.pt = cursor;

    // 1. Posted messages, oldest first.
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (filter != nullptr && it->hwnd != filter)
            continue;
        if (!admits(it->message, filterMin, filterMax))
            continue;
        msg = *it;
        if (remove)
            q.posted.erase(it);
        return true;
    }
    // 2. The quit flag, once the posted messages are gone.
    if (q.quitPosted && admits(WM_QUIT, filterMin, filterMax)) {
        msg.hwnd = nullptr;
        msg.message = WM_QUIT;
        msg.wParam = static_cast<WPARAM>(q.quitCode);
        if (remove)
            q.quitPosted = false;
        return true;
    }
    // 3. A paint for a window that needs one; it stays until the window is validated.
    if (admits(WM_PAINT, filterMin, filterMax)) {
        for (Window* w : q.windows) {
            if (!w->invalid || (filter != nullptr && handleOf(w) != filter))
                continue;
            if (!w->visible)
                continue;
            msg.hwnd = handleOf(w);
            msg.message = WM_PAINT;
            return true;
        }
    }
    // 4. Timers that are due; taking one restarts its interval.
    if (admits(WM_TIMER, filterMin, filterMax)) {
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
    }
    return false;
}

void waitForWork() {
    Queue& q = queue();
    if (onGuiThread()) {
        ensurePump();
        {
            std::lock_guard lock(q.mutex);
            if (readyLocked(q))
                return;
        }
        if (Pump* p = pump.load())
            p->armDeadline();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return;
    }
    std::unique_lock lock(q.mutex);
    if (readyLocked(q))
        return;
    std::optional<Clock::time_point> due;
    for (const Timer& t : q.timers) {
        if (!due || t.due < *due)
            due = t.due;
    }
    if (due) {
        q.changed.wait_until(lock, *due);
    } else {
        q.changed.wait(lock);
    }
}

LRESULT callWindowProc(Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window.dialog != nullptr) {
        // Dialogs: the program's dialog procedure first; a paint it leaves alone is still done.
        const INT_PTR handled = window.dialogProc != nullptr
                                    ? window.dialogProc(handleOf(&window), message, wParam, lParam)
                                    : 0;
        if (!handled && message == WM_PAINT)
            ValidateRect(handleOf(&window), nullptr);
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
    // Like Windows, a peek lets pending input reach the queue first.
    if (onGuiThread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
    Window* window = windowFromHandle(msg->hwnd);
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
    Window* target = onGuiThread() || QCoreApplication::instance() == nullptr
                         ? windowFromHandle(window)
                         : nullptr;
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
