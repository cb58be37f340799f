// The message queue as the program relies on it: posted and sent messages, the filters, quit,
// a post from another thread, timers and their coalescing, and the paint that invalidation
// brings once the queue is empty. Nothing here waits on a clock: a test blocks only in
// GetMessageA for a message that is sure to come.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "support/recording_window.h"

namespace {

using kvarlo::testing::dispatchReady;

// The messages a test looks at; Windows sends many more (sizing, activation, non-client), which
// the program leaves to DefWindowProcA.
bool watched(UINT message) {
    return message == WM_PAINT || message == WM_TIMER || message == WM_DESTROY ||
           message == WM_NCDESTROY || message >= WM_USER;
}

std::vector<UINT>& received = kvarlo::testing::recordedMessages().received;
int& paints = kvarlo::testing::recordedMessages().paints;
// The recording window answers the test's own messages with wParam + lParam.
const UINT sumMessage = WM_USER + 40;

class MessageQueue : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(windowClass.registered());
        kvarlo::testing::recordedMessages().keeps = watched;
        window = windowClass.create("queue");
        ASSERT_NE(window, nullptr);
        dispatchReady();
        kvarlo::testing::recordedMessages().clear();
    }
    void TearDown() override {
        if (IsWindow(window))
            DestroyWindow(window);
        kvarlo::testing::discardQueued();
        kvarlo::testing::recordedMessages().keeps = nullptr;
    }
    kvarlo::testing::RecordingWindowClass windowClass{"KvarloConformanceQueue"};
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

TEST_F(MessageQueue, PeekAndGetFilterByWindowAndRange) {
    PostMessageA(window, WM_USER + 5, 1, 0);
    PostMessageA(nullptr, WM_USER + 6, 2, 0);  // a thread message
    PostMessageA(window, WM_USER + 7, 3, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_USER + 7, WM_USER + 7, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, window, WM_USER + 7, WM_USER + 7, PM_REMOVE));
    ASSERT_TRUE(GetMessageA(&msg, nullptr, WM_USER + 6, WM_USER + 6));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&msg), WM_USER, 0, 0));  // not a window
}

TEST_F(MessageQueue, SendMessageCallsTheProcedureAtOnce) {
    PostMessageA(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(SendMessageA(window, sumMessage, 40, 2), 42);
    // The sent message overtook the posted one, which still waits in the queue.
    EXPECT_EQ(received, (std::vector<UINT>{sumMessage}));
    dispatchReady();
    EXPECT_EQ(received, (std::vector<UINT>{sumMessage, WM_USER + 1}));
}

TEST_F(MessageQueue, AnInvalidWindowGetsOnePaintOnceTheQueueIsEmpty) {
    ShowWindow(window, SW_SHOW);
    dispatchReady();  // the first paint after showing
    ASSERT_EQ(paints, 1);
    received.clear();

    InvalidateRect(window, nullptr, FALSE);
    InvalidateRect(window, nullptr, FALSE);
    PostMessageA(window, WM_USER, 0, 0);
    dispatchReady();
    // The posted message first, then a single paint that validated the window.
    EXPECT_EQ(received, (std::vector<UINT>{WM_USER, WM_PAINT}));

    // A hidden window gets no paints until it is shown again.
    ShowWindow(window, SW_HIDE);
    InvalidateRect(window, nullptr, FALSE);
    received.clear();
    dispatchReady();
    EXPECT_TRUE(received.empty());
}

TEST_F(MessageQueue, PostedPaintsAreDeliveredAsPosted) {
    ShowWindow(window, SW_SHOW);
    dispatchReady();
    paints = 0;
    // As a repaint request does it: invalidate and post, twice.
    for (int i = 0; i < 2; ++i) {
        InvalidateRect(window, nullptr, FALSE);
        PostMessageA(window, WM_PAINT, 0, 0);
    }
    dispatchReady();
    EXPECT_EQ(paints, 2);  // one per posted message; the first one validated the window
}

TEST_F(MessageQueue, APostFromAnotherThreadWakesTheWaitingLoop) {
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    std::thread worker([&] {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return waiting; });
        lock.unlock();
        PostMessageA(window, WM_APP + 1, 42, 0);
    });
    {
        std::lock_guard<std::mutex> lock(mutex);
        waiting = true;
    }
    changed.notify_one();
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));  // the queue is empty until the worker posts
    worker.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
    EXPECT_EQ(msg.wParam, 42u);
}

// Takes the next message for one window, blocking until it comes.
MSG nextFor(HWND window) {
    MSG msg = {};
    EXPECT_GT(GetMessageA(&msg, window, 0, 0), 0);
    return msg;
}

TEST_F(MessageQueue, ATimerComesAsWmTimerUntilKilled) {
    ASSERT_NE(SetTimer(window, 7, 20, nullptr), 0u);
    MSG msg = nextFor(window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(nextFor(window).wParam, 7u);  // and again
    EXPECT_TRUE(KillTimer(window, 7));
    EXPECT_FALSE(KillTimer(window, 7));
    // With the first one killed, the only timer left is the one set now.
    ASSERT_NE(SetTimer(window, 8, 20, nullptr), 0u);
    msg = nextFor(window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 8u);
    KillTimer(window, 8);
}

TEST_F(MessageQueue, ATimerNotTakenHasOneMessagePending) {
    HWND other = windowClass.create("waiting");
    ASSERT_NE(other, nullptr);
    // While the loop waits for the slow timer's message, the fast one falls due many times.
    ASSERT_NE(SetTimer(window, 1, 10, nullptr), 0u);
    ASSERT_NE(SetTimer(other, 2, 300, nullptr), 0u);
    EXPECT_EQ(nextFor(other).wParam, 2u);
    KillTimer(other, 2);
    int pending = 0;
    MSG msg;
    while (pending < 10 && PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE))
        ++pending;
    EXPECT_LE(pending, 1);
    KillTimer(window, 1);
    DestroyWindow(other);
}

TEST_F(MessageQueue, DestroyingAWindowDropsItsMessagesAndTimers) {
    PostMessageA(window, WM_USER, 0, 0);
    SetTimer(window, 1, 10, nullptr);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(received, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // With the window's timer gone, the only timer left is the thread's, set now.
    const UINT_PTR later = SetTimer(nullptr, 0, 20, nullptr);
    ASSERT_NE(later, 0u);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, later);
    KillTimer(nullptr, later);
}

}  // namespace
