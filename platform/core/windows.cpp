// Window classes and windows: the class table, a window's life from CreateWindowExA to
// DestroyWindow, its title, visibility and invalid area. Each layer makes the frame that shows it.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/core/window.h"

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

// The menu a window of the class gets when CreateWindowExA names none; null without one.
HMENU classMenu(const WindowClass& cls) {
    if (cls.menuIsId)
        return LoadMenuA(cls.spec.hInstance, cls.spec.lpszMenuName);
    if (!cls.menuName.empty())
        return LoadMenuA(cls.spec.hInstance, cls.menuName.c_str());
    return nullptr;
}

}  // namespace

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

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
    if (!mayMakeWindows()) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    const WindowClass& cls = found->second;
    WindowRecord* window = newLayerWindow();
    window->className = cls.name;
    window->proc = cls.spec.lpfnWndProc;
    window->style = style;
    window->title = windowName != nullptr ? windowName : "";
    if (menu == nullptr)
        menu = classMenu(cls);
    window->menu = menuFromHandle(menu);
    // The outer size is what the program asks for; the menu bar comes out of the client area.
    window->makeFrame(cls.spec.hIcon, x, y, width == CW_USEDEFAULT ? 640 : width,
                      height == CW_USEDEFAULT ? 480 : height);
    registerLiveWindow(window);

    CREATESTRUCTA create{
        param,      instance,  menu, parent, height, width, y, x, static_cast<LONG>(style),
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
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr || window->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->destroying = true;
    window->visible = false;
    window->hideFrame();
    callWindowProc(*window, WM_DESTROY, 0, 0);
    callWindowProc(*window, WM_NCDESTROY, 0, 0);
    unregisterLiveWindow(window);
    window->destroyFrame();
    if (!window->dialog)
        delete window->menu;
    delete window;
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    return isLiveWindow(hwnd) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int showCommand) {
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr)
        return FALSE;
    const bool wasVisible = window->visible;
    window->visible = showCommand != SW_HIDE;
    window->showFrame(showCommand, wasVisible);
    if (!wasVisible && window->visible)
        invalidateWindow(*window, nullptr, true);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    WindowRecord* window = windowRecord(hwnd);
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
    WindowRecord* window = windowRecord(hwnd);
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
        case WM_SYSCHAR:
            // Alt and a letter no accelerator took: the menu with that mnemonic, where the layer
            // does not open it itself.
            if (WindowRecord* window = windowRecord(hwnd))
                window->mnemonicTyped(static_cast<char>(wParam));
            return 0;
        default:
            return 0;
    }
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr)
        return FALSE;
    window->title = text != nullptr ? text : "";
    window->titleChanged();
    return TRUE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr || buffer == nullptr || maxCount <= 0)
        return 0;
    const int n = std::min<int>(static_cast<int>(window->title.size()), maxCount - 1);
    std::memcpy(buffer, window->title.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
    WindowRecord* window = windowRecord(hwnd);
    return window == nullptr ? 0 : static_cast<int>(window->title.size());
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr || rect == nullptr)
        return FALSE;
    const Rect area = window->clientArea();
    *rect = RECT{area.left, area.top, area.right, area.bottom};
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    WindowRecord* window = windowRecord(hwnd);
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
    WindowRecord* window = windowRecord(hwnd);
    if (window == nullptr)
        return FALSE;
    std::lock_guard lock(queueMutex());
    window->invalid = false;  // partial validation is not kept: the whole client becomes valid
    window->eraseRequested = false;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    WindowRecord* window = windowRecord(hwnd);
    const std::optional<POINT> origin =
        window != nullptr ? window->clientOrigin() : std::optional<POINT>();
    if (!origin || point == nullptr)
        return FALSE;
    point->x -= origin->x;
    point->y -= origin->y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    WindowRecord* window = windowRecord(hwnd);
    const std::optional<POINT> origin =
        window != nullptr ? window->clientOrigin() : std::optional<POINT>();
    if (!origin || point == nullptr)
        return FALSE;
    point->x += origin->x;
    point->y += origin->y;
    return TRUE;
}
