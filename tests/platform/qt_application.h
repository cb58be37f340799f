// For tests of windows over the layer: one QApplication for a whole test program (widgets need
// it, and it must outlive every test), and a window procedure that records what it receives.
#pragma once

#include <QApplication>
#include <vector>

#include "platform/win32.h"

namespace kvarlo::testing {

inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "kvarlo-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// What a test window received: every message in order, and how many paints it answered.
struct RecordedMessages {
    std::vector<UINT> received;
    int paints = 0;
};

inline RecordedMessages& recordedMessages() {
    static RecordedMessages recorded;
    return recorded;
}

// A window procedure for tests: records every message and answers a paint with an empty one.
inline LRESULT CALLBACK recordingWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    recordedMessages().received.push_back(message);
    if (message == WM_PAINT) {
        ++recordedMessages().paints;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kvarlo::testing
