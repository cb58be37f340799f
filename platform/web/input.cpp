// The keyboard: the page turns its key events into the virtual keys and messages of the other
// layers (web/page.js), and they reach the key state and the queue here; the program's texts as
// the page's UTF-8.
#include <emscripten.h>

#include <cstring>

#include "platform/cp1251.h"
#include "platform/web/layer.h"

namespace kvarlo::platform {

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
