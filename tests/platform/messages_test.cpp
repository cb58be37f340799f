// The Qt side of the message queue: what a user does to a window through Qt (its close box)
// arrives as messages. The queue itself, on both sides, is tested in tests/conformance/.
#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/test_seams.h"
#include "platform/qt_application.h"
#include "platform/win32.h"
#include "support/recording_window.h"

namespace {

using kvarlo::testing::dispatchReady;

std::vector<UINT>& received = kvarlo::testing::recordedMessages().received;

class MessageQueue : public ::testing::Test {
protected:
    void SetUp() override {
        kvarlo::testing::qtApplication();
        ASSERT_TRUE(windowClass.registered());
        window = windowClass.create("queue");
        ASSERT_NE(window, nullptr);
        kvarlo::testing::recordedMessages().clear();
    }
    void TearDown() override {
        DestroyWindow(window);
        kvarlo::testing::discardQueued();
    }
    kvarlo::testing::RecordingWindowClass windowClass{"QUEUETEST"};
    HWND window = nullptr;
};

TEST_F(MessageQueue, TheCloseBoxAsksTheWindowWhichDestroysItselfByDefault) {
    ShowWindow(window, SW_SHOW);
    dispatchReady();
    received.clear();
    kvarlo::platform::testing::topLevelWidget(window)->close();
    dispatchReady();
    EXPECT_EQ(received, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    window = CreateWindowExA(0, "QUEUETEST", "again", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                             nullptr);
}

}  // namespace
