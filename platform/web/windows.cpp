// Window classes and windows: each window is a canvas in the page, under a menu bar the page
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

struct WindowClass {
    WNDCLASSA spec;
    std::string name;  // 1251
    std::string menuName;
    bool menuIsId = false;
};

// Class names compare without case, as on Windows.
std::string classKey(const std::string& name) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

std::map<std::string, WindowClass>& classes() {
    static auto* table = new std::map<std::string, WindowClass>;
    return *table;
}

ATOM nextAtom = 0xC000;

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

HMENU classMenu(const WindowClass& cls) {
    if (cls.menuIsId)
        return LoadMenuA(cls.spec.hInstance, cls.spec.lpszMenuName);
    if (!cls.menuName.empty())
        return LoadMenuA(cls.spec.hInstance, cls.menuName.c_str());
    return nullptr;
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

void presentScreen(Window& window) {
    // The canvas wants RGBA bytes; the screen holds 0x00RRGGBB words (BGRA bytes).
    std::vector<uint32_t> rgba(window.screen.size());
    std::transform(window.screen.begin(), window.screen.end(), rgba.begin(), [](uint32_t p) {
        return 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
    });
    MAIN_THREAD_EM_ASM({ kvarloPage.present($0, $1, $2, $3); }, handleOf(&window), rgba.data(),
                       window.width, window.height);
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

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr || IS_INTRESOURCE(wc->lpszClassName) ||
        wc->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string name = wc->lpszClassName;
    if (classes().count(classKey(name)) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass entry{*wc, name, {}, false};
    if (wc->lpszMenuName != nullptr) {
        entry.menuIsId = IS_INTRESOURCE(wc->lpszMenuName);
        entry.menuName = entry.menuIsId ? std::string() : std::string(wc->lpszMenuName);
    }
    entry.spec.lpszClassName = nullptr;  // the copies above own the texts
    if (!entry.menuIsId)
        entry.spec.lpszMenuName = nullptr;
    classes()[classKey(name)] = entry;
    return nextAtom++;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    if (className == nullptr || IS_INTRESOURCE(className))
        return FALSE;
    return classes().erase(classKey(className)) != 0 ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
    const auto found = className == nullptr || IS_INTRESOURCE(className)
                           ? classes().end()
                           : classes().find(classKey(className));
    if (found == classes().end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (emscripten_is_main_browser_thread()) {  // the page's thread must never block in a loop
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    const WindowClass& cls = found->second;
    auto* window = new Window;
    window->className = cls.name;
    window->proc = cls.spec.lpfnWndProc;
    window->style = style;
    window->title = windowName != nullptr ? windowName : "";
    window->menu = menuFromHandle(menu != nullptr ? menu : classMenu(cls));
    createCanvas(*window, width == CW_USEDEFAULT ? 640 : width,
                 height == CW_USEDEFAULT ? 480 : height);
    registerLiveWindow(window);

    CREATESTRUCTA create{param,      instance,  reinterpret_cast<HMENU>(window->menu),
                         parent,     height,    width,
                         y,          x,         static_cast<LONG>(style),
                         windowName, className, 0};
    if (callWindowProc(*window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handleOf(window));
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        ShowWindow(handleOf(window), SW_SHOW);
    return handleOf(window);
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr || window->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->destroying = true;
    window->visible = false;
    callWindowProc(*window, WM_DESTROY, 0, 0);
    callWindowProc(*window, WM_NCDESTROY, 0, 0);
    unregisterLiveWindow(window);
    if (!window->dialog) {
        MAIN_THREAD_EM_ASM({ kvarloPage.destroyWindow($0); }, hwnd);
        delete window->menu;
    }
    {
        std::lock_guard lock(originMutex);
        origins().erase(hwnd);
    }
    delete window;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    return isLiveWindow(hwnd) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int showCommand) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr)
        return FALSE;
    const bool wasVisible = window->visible;
    window->visible = showCommand != SW_HIDE;
    if (!window->dialog)
        MAIN_THREAD_EM_ASM({ kvarloPage.showWindow($0, $1); }, hwnd, window->visible ? 1 : 0);
    if (!wasVisible && window->visible)
        invalidateWindow(*window, nullptr, true);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr)
        return FALSE;
    bool due;
    {
        std::lock_guard lock(queueMutex());
        due = window->invalid && window->visible;
    }
    if (due)
        callWindowProc(*window, WM_PAINT, 0, 0);
    return TRUE;
}

HMENU WINAPI GetMenu(HWND hwnd) {
    Window* window = windowFromHandle(hwnd);
    return window != nullptr ? reinterpret_cast<HMENU>(window->menu) : nullptr;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(hwnd, &paint) != nullptr)
                EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCHAR: {
            // Alt and a letter no accelerator took opens the menu with that mnemonic.
            const std::string letter = toUtf8(reinterpret_cast<const char*>(&wParam), 1);
            MAIN_THREAD_EM_ASM({ kvarloPage.openMenuByMnemonic($0, UTF8ToString($1)); }, hwnd,
                               letter.c_str());
            return 0;
        }
        default:
            return 0;
    }
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr)
        return FALSE;
    window->title = text != nullptr ? text : "";
    if (!window->dialog) {
        const std::string utf8 = toUtf8(window->title.c_str());
        MAIN_THREAD_EM_ASM({ kvarloPage.setTitle($0, UTF8ToString($1)); }, hwnd, utf8.c_str());
    }
    return TRUE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr || buffer == nullptr || maxCount <= 0)
        return 0;
    const int n = std::min<int>(static_cast<int>(window->title.size()), maxCount - 1);
    std::memcpy(buffer, window->title.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
    Window* window = windowFromHandle(hwnd);
    return window == nullptr ? 0 : static_cast<int>(window->title.size());
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr || rect == nullptr)
        return FALSE;
    *rect = RECT{0, 0, window->width, window->height};
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr)
        return FALSE;
    if (rect != nullptr) {
        const Rect area{rect->left, rect->top, rect->right, rect->bottom};
        invalidateWindow(*window, &area, erase != FALSE);
    } else {
        invalidateWindow(*window, nullptr, erase != FALSE);
    }
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT*) {
    Window* window = windowFromHandle(hwnd);
    if (window == nullptr)
        return FALSE;
    std::lock_guard lock(queueMutex());
    window->invalid = false;  // partial validation is not kept: the whole client becomes valid
    window->eraseRequested = false;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    if (windowFromHandle(hwnd) == nullptr || point == nullptr)
        return FALSE;
    const Origin origin = originOf(hwnd);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    if (windowFromHandle(hwnd) == nullptr || point == nullptr)
        return FALSE;
    const Origin origin = originOf(hwnd);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}
