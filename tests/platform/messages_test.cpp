// The Qt side of the message queue: what a user does to a window through Qt (its close box)
// arrives as messages. The queue itself, on both sides, is tested in tests/conformance/.
#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/test_seams.h"
#include "platform/qt_application.h"
#include "platform/win32.h"

namespace {

std::vector<UINT>& received = kvarlo::testing::recordedMessages().received;
int& paints = kvarlo::testing::recordedMessages().paints;
constexpr WNDPROC recordingProc = kvarlo::testing::recordingWindowProc;

class MessageQueue : public ::testing::Test {
protected:
    void SetUp() override {
        kvarlo::testing::qtApplication();
        WNDCLASSA wc{};
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QUEUETEST";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "QUEUETEST", "queue", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        received.clear();
        paints = 0;
    }
    void TearDown() override {
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }  // nothing left for the next test
        UnregisterClassA("QUEUETEST", GetModuleHandleA(nullptr));
    }
    // Dispatches until the queue is empty (nothing ready), like a loop that is about to wait.
    void pumpReady() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    HWND window = nullptr;
};

TEST_F(MessageQueue, TheCloseBoxAsksTheWindowWhichDestroysItselfByDefault) {
    ShowWindow(window, SW_SHOW);
    pumpReady();
    received.clear();
    kvarlo::platform::testing::topLevelWidget(window)->close();
    pumpReady();
    EXPECT_EQ(received, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    window = CreateWindowExA(0, "QUEUETEST", "again", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                             nullptr);
}

}  // namespace
