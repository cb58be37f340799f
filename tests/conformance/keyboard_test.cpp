// Keyboard messages through the program's main loop (PeekMessageA, TranslateAcceleratorA,
// TranslateMessage, DispatchMessageA). The subset has no call that presses a key, so the key
// messages are posted as the window system would queue them: these cases reach the queue, the
// translation calls and the dispatch, not the layer's reading of the keyboard itself.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32.h"
#include "shell/resource.h"

namespace {

std::vector<MSG> received;

LRESULT CALLBACK keyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message >= WM_KEYDOWN && message <= WM_SYSCHAR) || message == WM_COMMAND) {
        received.push_back(MSG{window, message, wParam, lParam, 0, {}});
        return message == WM_KEYDOWN ? 7 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The bits of a key message's lParam: repeat count, scan code, Alt held, down before, going up.
LPARAM keyParam(int repeats, int scanCode, bool alt, bool wasDown, bool release) {
    DWORD bits = static_cast<DWORD>(repeats) | static_cast<DWORD>(scanCode) << 16;
    if (alt)
        bits |= 1u << 29;
    if (wasDown)
        bits |= 1u << 30;
    if (release)
        bits |= 1u << 31;
    return static_cast<LPARAM>(bits);
}

const char* const className = "KvarloConformanceKeys";

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = keyProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, className, "keys", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_IGAME));
        ASSERT_NE(accelerators, nullptr);
        runLoop();
        received.clear();
    }
    void TearDown() override {
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(className, GetModuleHandleA(nullptr));
    }
    // The program's loop, until nothing is ready.
    void runLoop() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    std::vector<MSG> keyMessages() const {
        std::vector<MSG> keys;
        for (const MSG& msg : received)
            if (msg.message != WM_CHAR && msg.message != WM_SYSCHAR)
                keys.push_back(msg);
        return keys;
    }
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
};

// The program moves through the game with the arrows and F-keys, and a held key repeats: each
// message comes to the procedure once, in order, with its virtual key and its bits intact.
TEST_F(Keyboard, KeyMessagesReachTheProcedureWithTheirVirtualKeyAndBits) {
    const struct {
        UINT message;
        WPARAM key;
        LPARAM param;
    } sent[] = {
        {WM_KEYDOWN, VK_LEFT, keyParam(1, 0x4B, false, false, false)},
        {WM_KEYDOWN, VK_LEFT, keyParam(1, 0x4B, false, true, false)},  // repeated
        {WM_KEYDOWN, VK_LEFT, keyParam(3, 0x4B, false, true, false)},  // three repeats in one
        {WM_KEYUP, VK_LEFT, keyParam(1, 0x4B, false, true, true)},
        {WM_SYSKEYDOWN, VK_F1, keyParam(1, 0x3B, true, false, false)},
        {WM_SYSKEYUP, VK_F1, keyParam(1, 0x3B, true, true, true)},
    };
    for (const auto& key : sent)
        ASSERT_TRUE(PostMessageA(window, key.message, key.key, key.param));
    runLoop();
    const std::vector<MSG> keys = keyMessages();
    ASSERT_EQ(keys.size(), std::size(sent));
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].message, sent[i].message) << i;
        EXPECT_EQ(keys[i].wParam, sent[i].key) << i;
        EXPECT_EQ(static_cast<DWORD>(keys[i].lParam), static_cast<DWORD>(sent[i].param)) << i;
    }
    // Sent, a key message is the procedure's call and gives its answer.
    received.clear();
    EXPECT_EQ(SendMessageA(window, WM_KEYDOWN, VK_RIGHT, keyParam(1, 0x4D, false, false, false)),
              7);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(VK_RIGHT));
}

TEST_F(Keyboard, TranslateMessageAnswersTrueForEveryKeyMessageAndFalseForOthers) {
    // F-keys type no character, so nothing is posted here on either side.
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP}) {
        MSG msg = {window, message, VK_F12, keyParam(1, 0x58, false, false, false), 0, {}};
        EXPECT_TRUE(TranslateMessage(&msg)) << message;
    }
    for (UINT message : {static_cast<UINT>(WM_COMMAND), static_cast<UINT>(WM_USER + 1)}) {
        MSG msg = {window, message, VK_F12, 0, 0, {}};
        EXPECT_FALSE(TranslateMessage(&msg)) << message;
    }
    runLoop();
    for (const MSG& msg : received)
        EXPECT_NE(msg.message, static_cast<UINT>(WM_CHAR));
}

TEST_F(Keyboard, TranslateMessagePostsTheCharacterOfAKeyDown) {
#ifndef _WIN32
    GTEST_SKIP() << "the Linux layer queues WM_CHAR together with the key message it reads from "
                    "the keyboard; TranslateMessage adds nothing to a posted WM_KEYDOWN";
#endif
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, keyParam(1, 0x39, false, false, false));
    runLoop();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(received[1].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(received[1].wParam, static_cast<WPARAM>(' '));
    EXPECT_EQ(static_cast<DWORD>(received[1].lParam) & 0xFFFF, 1u);  // the key's repeat count
}

// Alt+? and Alt+/ are the program's only accelerators: a key or character without Alt held goes
// on to the window, whatever its character.
TEST_F(Keyboard, KeysWithoutAltPassTheAcceleratorsToTheWindow) {
    PostMessageA(window, WM_KEYDOWN, VK_OEM_2, keyParam(1, 0x35, false, false, false));
    PostMessageA(window, WM_CHAR, '?', keyParam(1, 0x35, false, false, false));
    PostMessageA(window, WM_CHAR, '/', keyParam(1, 0x35, false, false, false));
    runLoop();
    std::vector<UINT> messages;
    for (const MSG& msg : received)
        messages.push_back(msg.message);
    // Windows adds the character TranslateMessage makes of the key; the command never comes.
    EXPECT_EQ(messages.front(), static_cast<UINT>(WM_KEYDOWN));
    for (UINT message : messages)
        EXPECT_NE(message, static_cast<UINT>(WM_COMMAND));
    int characters = 0;
    for (const MSG& msg : received)
        characters += msg.message == WM_CHAR && (msg.wParam == '?' || msg.wParam == '/');
    EXPECT_GE(characters, 2);
}

}  // namespace
