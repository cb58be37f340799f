// platform-demo: a window made only of the layer's calls, to look at. The real menu and
// accelerators from the resource script, a frame drawn with the GDI calls (the lattice, a few
// matches in each of the pens, Russian status text), the About box on Alt+? or from the menu.
// "platform-demo --about" opens the About box at once, "--save" the save dialog.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/board.h"
#include "shell/resource.h"
#include "shell/services.h"
#include "view/layout.h"

namespace {

kvarlo::Board board(7, 7);

void line(HDC dc, int width, COLORREF colour, kvarlo::ScreenPoint a, kvarlo::ScreenPoint b,
          int shorten) {
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    double x1 = a.x, y1 = a.y, x2 = b.x, y2 = b.y;
    const double length = std::hypot(x2 - x1, y2 - y1);
    if (shorten != 0 && length > 0) {
        const double ux = (x2 - x1) / length, uy = (y2 - y1) / length;
        x1 += ux * shorten;
        y1 += uy * shorten;
        x2 -= ux * shorten;
        y2 -= uy * shorten;
    }
    MoveToEx(dc, static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1)), nullptr);
    LineTo(dc, static_cast<int>(std::lround(x2)), static_cast<int>(std::lround(y2)));
    SelectObject(dc, old);
    DeleteObject(pen);
}

void text(HDC dc, int x, int y, COLORREF colour, const char* s) {
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, s, static_cast<int>(std::strlen(s)));
}

// Every slot of the board in one of the looks, sprinkled; returns the matches drawn.
int drawSlots(HDC dc, const kvarlo::BoardLayout& layout) {
    int count = 0;
    for (int32_t node = 0; node < board.nodeCount; ++node) {
        if (!board.nodes[node].active)
            continue;
        for (int d = 0; d < 3; ++d) {
            const int32_t far = board.neighbourForward(node, d);
            if (far < 0)
                continue;
            const auto a = kvarlo::nodeScreenPosition(board, node, layout);
            const auto b = kvarlo::nodeScreenPosition(board, far, layout);
            const int kind = (node * 3 + d) % 11;  // a sprinkling of every look
            if (kind == 1 || kind == 4) {          // a match
                line(dc, 8, 0x5A5A5A, a, b, 8);
                line(dc, 1, 0x808080, a, b, 0);
                line(dc, 6, 0x0078B4, a, b, 8);
                ++count;
            } else if (kind == 7) {  // a movable match
                line(dc, 10, 0xD2D2D2, a, b, 8);
                line(dc, 1, 0x808080, a, b, 0);
                line(dc, 8, 0x0078B4, a, b, 8);
                ++count;
            } else if (kind == 9 && node == 24) {  // the selected one
                line(dc, 10, 0xD2D2D2, a, b, 8);
                line(dc, 1, 0x808080, a, b, 0);
                line(dc, 8, 0x008CD2, a, b, 8);
                ++count;
            } else if (kind == 10) {  // a landing slot
                line(dc, 1, 0x808080, a, b, 0);
                line(dc, 4, 0x008CD2, a, b, 8);
            } else {
                line(dc, 1, 0x808080, a, b, 0);
            }
        }
    }
    return count;
}

// The status texts, Windows-1251 as the program's own.
void drawTexts(HDC dc, int count) {
    SetBkMode(dc, TRANSPARENT);
    text(dc, 8, 8, 0x000000, "\xD0\xE5\xE6\xE8\xEC: \xC8\xE3\xF0\xE0");  // Режим: Игра
    char status[64];
    std::snprintf(status, sizeof status, "\xD1\xEF\xE8\xF7\xE5\xEA: %d   \xD5\xEE\xE4: 0 / 0",
                  count);
    text(dc, 8, 24, 0x000000, status);                           // Спичек: N   Ход: 0 / 0
    text(dc, 8, 40, 0x0000C0, "\xC2\xF0\xE5\xEC\xFF 00:00:07");  // Время, in red
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC windowDc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader =
        BITMAPINFOHEADER{40, client.right, client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::memset(bits, 176, static_cast<size_t>(client.right) * client.bottom * 4);
        const kvarlo::BoardLayout layout =
            kvarlo::computeLayout(client.right, client.bottom, board);
        drawTexts(dc, drawSlots(dc, layout));
        BitBlt(windowDc, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDM_ABOUT)
                kvarlo::showAbout(window);
            if (LOWORD(wParam) == IDM_EXIT)
                DestroyWindow(window);
            if (LOWORD(wParam) == ID_HELP_MANUAL)
                kvarlo::openManual();
            if (LOWORD(wParam) == ID_FIGURE_SAVE) {  // the save dialog as the documents use it
                static char name[256] = "untitled";
                char folder[512];
                GetCurrentDirectoryA(sizeof folder, folder);
                OPENFILENAMEA ofn{};
                ofn.lStructSize = sizeof ofn;
                ofn.hwndOwner = window;
                ofn.lpstrFilter =
                    "\xD4\xE8\xE3\xF3\xF0\xFB (*.t1a)\0*.t1a\0\xC2\xF1\xE5 "
                    "\xF4\xE0\xE9\xEB\xFB\0*.*\0";
                ofn.lpstrFile = name;
                ofn.nMaxFile = 256;
                ofn.lpstrInitialDir = folder;
                ofn.lpstrTitle =
                    "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xD4\xE8\xE3\xF3\xF0\xF3 \xE2 "
                    "\xF4\xE0\xE9\xEB \xEA\xE0\xEA";
                ofn.lpstrDefExt = "t1a";
                ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
                if (GetSaveFileNameA(&ofn))
                    kvarlo::setWindowTitle(" - \xD4\xE8\xE3\xF3\xF0\xE0 ", name);
            }
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    kvarlo::instance = instance;
    board.init();
    LoadStringA(instance, IDS_APP_TITLE, kvarlo::application.title, 324);
    LoadStringA(instance, IDC_IGAME, kvarlo::application.className, 324);
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_IGAME));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszMenuName = MAKEINTRESOURCEA(IDC_IGAME);
    wc.lpszClassName = kvarlo::application.className;
    if (!RegisterClassA(&wc))
        return 0;
    kvarlo::mainWindow = CreateWindowExA(
        0, kvarlo::application.className, kvarlo::application.title, WS_OVERLAPPEDWINDOW,
        CW_USEDEFAULT, 0, 640, 480, nullptr, nullptr, instance, nullptr);
    if (kvarlo::mainWindow == nullptr)
        return 0;
    ShowWindow(kvarlo::mainWindow, show);
    UpdateWindow(kvarlo::mainWindow);
    const std::string version = std::string(" Public Version ") + kvarlo::programVersion;
    kvarlo::setWindowTitle(version.c_str(), "");
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_IGAME));
    if (std::strstr(commandLine, "--about") != nullptr)
        PostMessageA(kvarlo::mainWindow, WM_COMMAND, IDM_ABOUT, 0);
    if (std::strstr(commandLine, "--save") != nullptr)
        PostMessageA(kvarlo::mainWindow, WM_COMMAND, ID_FIGURE_SAVE, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
