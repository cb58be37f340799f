// The message queue as the program relies on it: order, paints, quit, other threads, timers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
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

TEST_F(MessageQueue, PostedMessagesComeInOrderAndQuitComesAfterThem) {
    PostMessageA(window, WM_USER + 1, 0, 0);
    PostQuitMessage(3);
    PostMessageA(window, WM_USER + 2, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.hwnd, window);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(MessageQueue, AnInvalidWindowGetsOnePaintOnceTheQueueIsEmpty) {
    ShowWindow(window, SW_SHOW);
    pumpReady();  // the first paint after showing
    ASSERT_EQ(paints, 1);
    received.clear();

    InvalidateRect(window, nullptr, FALSE);
    InvalidateRect(window, nullptr, FALSE);
    PostMessageA(window, WM_USER, 0, 0);
    pumpReady();
    // The posted message first, then a single synthesized paint that validated the window.
    EXPECT_EQ(received, (std::vector<UINT>{WM_USER, WM_PAINT}));

    // A hidden window gets no paints until it is shown again.
    ShowWindow(window, SW_HIDE);
    InvalidateRect(window, nullptr, FALSE);
    received.clear();
    pumpReady();
    EXPECT_TRUE(received.empty());
}

TEST_F(MessageQueue, PostedPaintsAreDeliveredAsPosted) {
    ShowWindow(window, SW_SHOW);
    pumpReady();
    paints = 0;
    // As a repaint request does it: invalidate and post, twice.
    for (int i = 0; i < 2; ++i) {
        InvalidateRect(window, nullptr, FALSE);
        PostMessageA(window, WM_PAINT, 0, 0);
    }
    pumpReady();
    EXPECT_EQ(paints, 2);  // one per posted message; the first one validated the window
}

TEST_F(MessageQueue, PeekFiltersByWindowAndRangeAndCanLeaveTheMessage) {
    PostMessageA(window, WM_USER + 5, 1, 0);
    PostMessageA(nullptr, WM_USER + 6, 2, 0);  // a thread message
    PostMessageA(window, WM_TIMER, 9, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 9u);
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 6));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&msg), WM_USER, 0, 0));  // not a window
}

TEST_F(MessageQueue, APostFromAnotherThreadWakesTheWaitingLoop) {
    std::thread worker([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostMessageA(window, WM_APP + 1, 42, 0);
    });
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    worker.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(MessageQueue, TimersDeliverWmTimerUntilKilled) {
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(20);
    ASSERT_NE(SetTimer(window, 7, static_cast<UINT>(interval.count()), nullptr), 0u);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));  // blocks until the timer is due
    const auto firstTaken = Clock::now();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 7u);
    // Taking the message restarts the interval: the next one comes a whole interval later (a
    // slow machine only makes it later).
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_GE(Clock::now() - firstTaken, interval);
    EXPECT_TRUE(KillTimer(window, 7));
    EXPECT_FALSE(KillTimer(window, 7));
    // A second timer of the same interval, set after the kill, comes first: the killed one is
    // gone for good.
    ASSERT_NE(SetTimer(window, 8, static_cast<UINT>(interval.count()), nullptr), 0u);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 8u);
    KillTimer(window, 8);
}

TEST_F(MessageQueue, DestroyingAWindowDropsItsMessagesAndTimers) {
    PostMessageA(window, WM_USER, 0, 0);
    SetTimer(window, 1, 10, nullptr);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(received, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // A thread timer of a longer interval, set afterwards, is the next message: the window's
    // timer did not outlive it.
    const UINT_PTR later = SetTimer(nullptr, 0, 20, nullptr);
    ASSERT_NE(later, 0u);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, later);
    KillTimer(nullptr, later);
    window = CreateWindowExA(0, "QUEUETEST", "again", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                             nullptr);
}

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
