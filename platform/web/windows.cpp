// Windows as the page shows them: each window is a canvas in the page, under a menu bar the page
// builds from the window's menu. The program paints into the window's screen in wasm memory;
// a finished paint reaches the canvas whole.
#include <emscripten.h>
#include <emscripten/threading.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

// The canvas origin in page coordinates, per window, as the page last reported it.
struct Origin {
    int x = 0, y = 0;
};
std::mutex originMutex;
std::map<HWND, Origin>& origins() {
    static auto* table = new std::map<HWND, Origin>;
    return *table;
}

Origin originOf(HWND window) {
    std::lock_guard lock(originMutex);
    return origins()[window];
}

// The page makes the canvas under its menu bar and says how high the client area came out:
// the outer size is what the program asks for, the menu bar comes out of it.
void createCanvas(Window& window, int width, int height) {
    const std::string title = toUtf8(window.title.c_str());
    const std::string menu = window.menu != nullptr ? menuJson(*window.menu) : std::string("[]");
    const int clientHeight = MAIN_THREAD_EM_ASM_INT(
        { return kvarloPage.createWindow($0, UTF8ToString($1), UTF8ToString($2), $3, $4); },
        handleOf(&window), title.c_str(), menu.c_str(), width, height);
    window.width = std::max(width, 1);
    window.height = std::max(clientHeight, 1);
    window.screen.assign(static_cast<size_t>(window.width) * window.height, 0xFFFFFF);
}

}  // namespace

WindowRecord* newLayerWindow() {
    return new Window;
}

Window* windowFromHandle(HWND window) {
    // Every window the queue holds was made by this layer.
    return static_cast<Window*>(windowRecord(window));
}

void Window::present() {
    // The canvas wants RGBA bytes; the screen holds 0x00RRGGBB words (BGRA bytes).
    std::vector<uint32_t> rgba(screen.size());
    std::transform(screen.begin(), screen.end(), rgba.begin(), [](uint32_t p) {
        return 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
    });
    MAIN_THREAD_EM_ASM({ kvarloPage.present($0, $1, $2, $3); }, handleOf(this), rgba.data(), width,
                       height);
}

bool mayMakeWindows() {
    return !emscripten_is_main_browser_thread();  // the page's thread must never block in a loop
}

void Window::makeFrame(HICON, int, int, int outerWidth, int outerHeight) {
    createCanvas(*this, outerWidth, outerHeight);
}

void Window::showFrame(int, bool) {
    if (!dialog)
        MAIN_THREAD_EM_ASM({ kvarloPage.showWindow($0, $1); }, handleOf(this), visible ? 1 : 0);
}

void Window::destroyFrame() {
    if (!dialog)
        MAIN_THREAD_EM_ASM({ kvarloPage.destroyWindow($0); }, handleOf(this));
    std::lock_guard lock(originMutex);
    origins().erase(handleOf(this));
}

void Window::titleChanged() {
    if (dialog)
        return;
    const std::string utf8 = toUtf8(title.c_str());
    MAIN_THREAD_EM_ASM({ kvarloPage.setTitle($0, UTF8ToString($1)); }, handleOf(this),
                       utf8.c_str());
}

void Window::mnemonicTyped(char letter) {
    // The page opens the menu with that mnemonic.
    const std::string utf8 = toUtf8(&letter, 1);
    MAIN_THREAD_EM_ASM({ kvarloPage.openMenuByMnemonic($0, UTF8ToString($1)); }, handleOf(this),
                       utf8.c_str());
}

std::optional<POINT> Window::clientOrigin() const {
    const Origin origin = originOf(handleOf(this));
    return POINT{origin.x, origin.y};
}

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

extern "C" {

// A button pressed or released over a window's canvas: the cursor moves there and the message
// is posted. The page gives client coordinates and the canvas's place in the page.
EMSCRIPTEN_KEEPALIVE void kvarlo_web_mouse(uintptr_t window, unsigned message, unsigned keys, int x,
                                           int y, int originX, int originY) {
    const HWND handle = reinterpret_cast<HWND>(window);
    {
        std::lock_guard lock(originMutex);
        origins()[handle] = Origin{originX, originY};
    }
    setCursorPosition(POINT{originX + x, originY + y});
    if (message != WM_MOUSEMOVE)
        PostMessageA(handle, message, keys, MAKELPARAM(x, y));
}

// The page closed the window (its close button): the procedure decides, as with the close box.
EMSCRIPTEN_KEEPALIVE void kvarlo_web_close(uintptr_t window) {
    PostMessageA(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
}

}  // extern "C"
