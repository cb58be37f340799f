// Windows as every layer keeps them, and the message queue they share: posted messages from any
// thread, paints and timers made up when due, the quit flag. Each layer adds to a window what it
// shows it with, and says how its thread waits for work.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/core/resources.h"
#include "platform/win32.h"

namespace kvarlo::platform {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
    bool empty() const { return right <= left || bottom <= top; }
};

// What the queue and the window calls know of a window; a layer's window derives from it and
// shows it in its own way through the functions below, which do nothing for a window without a
// frame (the boxes' windows).
struct WindowRecord {
    virtual ~WindowRecord() = default;
    // The client area, from (0, 0): what invalidating all of it covers.
    virtual Rect clientArea() const { return Rect{}; }
    // Makes the frame of a new window (title, icon, menu bar, client area) of this outer size;
    // x is CW_USEDEFAULT where the layer places it.
    virtual void makeFrame(HICON, int /*x*/, int /*y*/, int /*width*/, int /*height*/) {}
    // Shows or hides the frame as ShowWindow's command says; `visible` is set already.
    virtual void showFrame(int /*showCommand*/, bool /*wasVisible*/) {}
    // Takes the frame off the screen before the window hears WM_DESTROY.
    virtual void hideFrame() {}
    // Frees the frame once the window is gone from the queue.
    virtual void destroyFrame() {}
    virtual void titleChanged() {}
    // Shows what the window's paint surface holds (a paint ended, or a block reached it).
    virtual void present() {}
    // Alt and a letter that no accelerator took (WM_SYSCHAR reached DefWindowProcA).
    virtual void mnemonicTyped(char /*letter*/) {}
    // The client area's top left in screen coordinates; none without a frame.
    virtual std::optional<POINT> clientOrigin() const { return std::nullopt; }

    std::string className;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    std::string title;  // 1251
    Menu* menu = nullptr;
    bool destroying = false;
    bool visible = false;  // shown with ShowWindow (dialogs: while open)

    // Dialog boxes (DialogBoxParamA)
    bool dialog = false;
    DLGPROC dialogProc = nullptr;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;

    // Guarded by the queue's mutex: a paint is due.
    bool invalid = false;
    bool eraseRequested = false;
    Rect invalidRect;
};

inline HWND handleOf(const WindowRecord* window) {
    return reinterpret_cast<HWND>(const_cast<WindowRecord*>(window));
}
// The live window behind a handle, or nullptr.
WindowRecord* windowRecord(HWND window);

// ---- The queue -------------------------------------------------------------------------------
// The queue's lock; windows' invalid state is kept under it too.
std::mutex& queueMutex();
void registerLiveWindow(WindowRecord* window);
void unregisterLiveWindow(WindowRecord* window);
bool isLiveWindow(HWND window);  // any thread
// Marks the window's client area (or a part) as needing a paint, and wakes the loop.
void invalidateWindow(WindowRecord& window, const Rect* rect, bool erase);
// Takes the next message the filter admits, as GetMessageA/PeekMessageA see it.
bool takeMessage(MSG& msg, HWND filter, UINT filterMin, UINT filterMax, bool remove);
// Something is ready for an unfiltered GetMessageA.
bool messageReady();
// When the earliest timer is due, if there is one.
std::optional<std::chrono::steady_clock::time_point> nextTimerDue();
// Blocks the calling thread until a message may be ready, or `alsoReady` (asked under the
// queue's lock, and woken by wakeQueue) holds.
void waitOnQueue(const std::function<bool()>& alsoReady);
// Wakes a thread blocked in waitForWork.
void wakeQueue();
LRESULT callWindowProc(WindowRecord& window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD messageTime();

// ---- What each layer provides to the queue ------------------------------------------------------
// A new window of the layer's kind, not yet registered: every window the queue holds is one.
WindowRecord* newLayerWindow();
// True where windows can be made: on the thread that owns them, with what the layer needs.
bool mayMakeWindows();
// Blocks until a message may be ready: on the layer's event loop where it has one.
void waitForWork();
// Wakes the layer's event loop, where a thread may wait for work (wakeQueue calls it).
void wakeEventLoop();
// Lets input that has happened reach the queue, as a peek does on Windows.
void letInputIn();
// True on the thread that owns the windows: the one SendMessageA may call a procedure from.
bool onWindowThread();

}  // namespace kvarlo::platform
