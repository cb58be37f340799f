// Keyboard and mouse state: the page turns its key events into the virtual keys and messages of
// the other layers (web/page.js) and keeps the key state here; the cursor is where the last
// mouse event over a canvas was.
#include <emscripten.h>

#include <array>
#include <cstring>
#include <mutex>

#include "platform/cp1251.h"
#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

std::mutex inputMutex;
POINT cursor{};
std::array<bool, 256> keysDown{};

}  // namespace

void setCursorPosition(POINT screen) {
    std::lock_guard lock(inputMutex);
    cursor = screen;
}

void setKeyDown(int virtualKey, bool down) {
    if (virtualKey <= 0 || virtualKey > 255)
        return;
    std::lock_guard lock(inputMutex);
    keysDown[static_cast<size_t>(virtualKey)] = down;
}

std::string toUtf8(const char* ansi, int length) {
    if (ansi == nullptr)
        return {};
    return cp1251ToUtf8(length < 0 ? std::string_view(ansi)
                                   : std::string_view(ansi, static_cast<size_t>(length)));
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

extern "C" {

// A key went down or up: its state changes, then its messages are posted. `character` is the
// typed text (UTF-8, maybe empty); one WM_CHAR (WM_SYSCHAR with Alt) follows per character
// Windows-1251 can hold, as on Windows.
EMSCRIPTEN_KEEPALIVE void kvarlo_web_key(uintptr_t window, int virtualKey, int down, int alt,
                                         intptr_t lParam, const char* character) {
    const HWND handle = reinterpret_cast<HWND>(window);
    setKeyDown(virtualKey, down != 0);
    if (virtualKey != 0) {
        const UINT message =
            down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
        PostMessageA(handle, message, static_cast<WPARAM>(virtualKey), lParam);
    }
    if (!down || character == nullptr || *character == '\0')
        return;
    const auto ansi = kvarlo::utf8ToCp1251(character);
    if (!ansi)
        return;
    for (const char c : *ansi) {
        PostMessageA(handle, alt ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(c), lParam);
    }
}

// The modifier keys as the page saw them last (a key released outside the page is missed).
EMSCRIPTEN_KEEPALIVE void kvarlo_web_modifiers(int shift, int control, int alt) {
    setKeyDown(VK_SHIFT, shift != 0);
    setKeyDown(VK_CONTROL, control != 0);
    setKeyDown(VK_MENU, alt != 0);
}

}  // extern "C"

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (point == nullptr)
        return FALSE;
    std::lock_guard lock(inputMutex);
    *point = cursor;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    setCursorPosition(POINT{x, y});
    return TRUE;
}

SHORT WINAPI GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255)
        return 0;
    std::lock_guard lock(inputMutex);
    return keysDown[static_cast<size_t>(virtualKey)] ? static_cast<SHORT>(0x8000) : 0;
}
