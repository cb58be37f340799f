// For tests of windows: a window class whose procedure records the messages it receives. Only
// the Win32 subset, so the suites that run on every platform use it as well as the Qt ones.
#pragma once

#include <vector>

#include "platform/win32.h"

namespace kvarlo::testing {

// What the test windows received: the messages in order, and how many paints they answered.
struct RecordedMessages {
    std::vector<UINT> received;
    int paints = 0;
    // The messages `received` keeps; all when null. Windows sends many a test does not look at
    // (sizing, activation, non-client), which a suite that also runs there leaves out.
    bool (*keeps)(UINT message) = nullptr;

    void clear() {
        received.clear();
        paints = 0;
    }
};

inline RecordedMessages& recordedMessages() {
    static RecordedMessages recorded;
    return recorded;
}

// Records every message (those recordedMessages().keeps), answers a paint with an empty one and
// a message of the test's own (WM_USER and above) with wParam + lParam, so that a test sees the
// answer of a sent message come back; everything else goes to DefWindowProcA.
inline LRESULT CALLBACK recordingWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    RecordedMessages& recorded = recordedMessages();
    if (!recorded.keeps || recorded.keeps(message))
        recorded.received.push_back(message);
    if (message >= WM_USER)
        return static_cast<LRESULT>(wParam) + lParam;
    if (message == WM_PAINT) {
        ++recorded.paints;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The class registered under `name` for as long as this lives (a fixture's member: one
// registration per test, none left for the next).
class RecordingWindowClass {
public:
    explicit RecordingWindowClass(const char* name) : name_(name) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = recordingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = name_;
        registered_ = RegisterClassA(&windowClass) != 0;
    }
    ~RecordingWindowClass() { UnregisterClassA(name_, GetModuleHandleA(nullptr)); }
    RecordingWindowClass(const RecordingWindowClass&) = delete;
    RecordingWindowClass& operator=(const RecordingWindowClass&) = delete;

    bool registered() const { return registered_; }
    const char* name() const { return name_; }

    // A top-level window of the class, where the system places it.
    HWND create(const char* title, int width = 300, int height = 200,
                DWORD style = WS_OVERLAPPEDWINDOW) const {
        return CreateWindowExA(0, name_, title, style, CW_USEDEFAULT, 0, width, height, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    }

private:
    const char* name_;
    bool registered_ = false;
};

// Dispatches until nothing is ready, as a message loop does before it waits.
inline void dispatchReady() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// Removes whatever is still queued, so that nothing is left for the next test.
inline void discardQueued() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace kvarlo::testing
