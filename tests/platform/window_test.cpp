// A window as the program makes it: the menu from the resource script, the client area under
// it, keys and accelerators, mouse presses, and frames drawn through the GDI calls.
#include <gtest/gtest.h>

#include <QIcon>
#include <QKeyEvent>
#include <QTest>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qt/test_seams.h"
#include "platform/qt_application.h"
#include "platform/win32.h"

namespace {

namespace seam = kvarlo::platform::testing;

std::vector<MSG> received;
void (*painter)(HWND, HDC) = nullptr;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received.push_back(MSG{window, message, wParam, lParam, 0, {}});
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (painter != nullptr)
            painter(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        kvarlo::testing::qtApplication();
        instance = GetModuleHandleA(nullptr);
        WNDCLASSA wc{};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(107));
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        wc.lpszMenuName = MAKEINTRESOURCEA(109);
        wc.lpszClassName = "IGAME";
        ASSERT_NE(RegisterClassA(&wc), 0);
        window = CreateWindowExA(0, "IGAME", "\xCA\xE2\xE0\xF0\xEB\xEE", WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, 0, 640, 480, nullptr, nullptr, instance, nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(109));
        received.clear();
        painter = nullptr;
    }
    void TearDown() override {
        painter = nullptr;
        DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA("IGAME", instance);
    }
    // Runs a main loop until nothing is ready: accelerators first, then dispatch.
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    std::vector<MSG> messages(UINT kind) const {
        std::vector<MSG> out;
        for (const MSG& m : received) {
            if (m.message == kind)
                out.push_back(m);
        }
        return out;
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
        QWidget* client = seam::clientWidget(window);
        QTest::sendKeyEvent(QTest::KeyAction::Press, client, key, text, modifiers);
        QTest::sendKeyEvent(QTest::KeyAction::Release, client, key, text, modifiers);
        pump();
    }
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
};

// The menu's structure and commands, read through the API, are checked in tests/conformance/.
TEST_F(MainWindow, TheMenuBarShowsTheResourceScriptsLabels) {
    const std::vector<std::string> expected = {
        "&Файл",
        "  &Открыть Фигуру...",
        "  -",
        "  В&ыход",
        "&Игра",
        "  &Начать Игру заново",
        "  -",
        "  Обратно 1 ход    (стрелка влево)",
        "  Восстановить 1 ход    (   вправо)",
        "  -",
        "  Обратно до начального хода    (   вверх)",
        "  Восстановить до конечного хода (вниз)",
        "  -",
        "  &Открыть Игру...",
        "  &Сохранить Игру как...",
        "Р&ешение",
        "  &Заново искать Решение",
        "  -",
        "  &Искать Решение",
        "  &Прервать поиск",
        "  -",
        "  &Лучшее Решение в Игру",
        "  -",
        "  &Открыть Решение",
        "  &Сохранить Решение как",
        "  -",
        "  PROграмма и набор сложных фигур",
        "&Редактор",
        "  &Редактировать Фигуру",
        "  -",
        "  &Сохранить Фигуру как...",
        "  -",
        "  &Убрать Фигуру",
        "&? Помощь",
        "  &Читать Руководство...",
        "  -",
        "  &Интернет-сайт",
        "  &О программе...",
    };
    // The test source is UTF-8 throughout; Qt shows the labels in Unicode.
    std::vector<std::string> shown = seam::menuBarLabels(window);
    ASSERT_EQ(shown.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(shown[i], expected[i]) << i;
}

TEST_F(MainWindow, TheTitleAndTheIconReachTheFrame) {
    QWidget* top = seam::topLevelWidget(window);
    EXPECT_EQ(top->windowTitle(), QString::fromUtf8("Кварло"));
    const QIcon icon = top->windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
    char title[16];
    EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 6);
    EXPECT_STREQ(title, "\xCA\xE2\xE0\xF0\xEB\xEE");
}

TEST_F(MainWindow, AMenuItemBecomesItsCommand) {
    ASSERT_TRUE(seam::triggerMenuCommand(window, 32790));
    pump();
    const auto commands = messages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 32790);
    EXPECT_EQ(HIWORD(commands[0].wParam), 0);
}

TEST_F(MainWindow, TheClientAreaIsTheOuterSizeLessTheMenuBar) {
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.right, 640);
    EXPECT_GT(client.bottom, 430);
    EXPECT_LT(client.bottom, 475);
    // It stays so once the window has settled, and nothing asks for another paint.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(seam::topLevelWidget(window)));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    received.clear();
    pump();
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_TRUE(messages(WM_PAINT).empty());
    // A resize gives the new size and a paint of the whole client.
    seam::topLevelWidget(window)->resize(500, 400);
    received.clear();
    pump();
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 500);
    EXPECT_EQ(messages(WM_PAINT).size(), 1u);
}

TEST_F(MainWindow, KeypadKeysAreTheirOwnVirtualKeys) {
    key(Qt::Key_Minus, Qt::KeypadModifier, "-");
    key(Qt::Key_Minus, Qt::NoModifier, "-");
    key(Qt::Key_Asterisk, Qt::KeypadModifier, "*");
    key(Qt::Key_Slash, Qt::KeypadModifier, "/");
    key(Qt::Key_Plus, Qt::KeypadModifier, "+");
    key(Qt::Key_Left, Qt::NoModifier);
    key(Qt::Key_Insert, Qt::NoModifier);
    key(Qt::Key_Shift, Qt::ShiftModifier);  // a modifier alone is not a key of its own
    std::vector<WPARAM> downs, ups;
    for (const MSG& m : messages(WM_KEYDOWN))
        downs.push_back(m.wParam);
    for (const MSG& m : messages(WM_KEYUP))
        ups.push_back(m.wParam);
    const std::vector<WPARAM> expected = {VK_SUBTRACT, VK_OEM_MINUS, VK_MULTIPLY, VK_DIVIDE,
                                          VK_ADD,      VK_LEFT,      VK_INSERT};
    EXPECT_EQ(downs, expected);
    EXPECT_EQ(ups, expected);
    EXPECT_TRUE(messages(WM_COMMAND).empty());
    // Releases carry the transition bits.
    EXPECT_EQ(static_cast<DWORD>(messages(WM_KEYUP)[0].lParam) & 0xC0000000u, 0xC0000000u);
}

TEST_F(MainWindow, AltQuestionMarkAndAltSlashGiveTheAboutCommand) {
    key(Qt::Key_Question, Qt::AltModifier | Qt::ShiftModifier, "?");
    key(Qt::Key_Slash, Qt::AltModifier);  // no text, as some platforms send it with Alt
    const auto commands = messages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 104);
    EXPECT_EQ(HIWORD(commands[0].wParam), 1);  // from an accelerator
    EXPECT_EQ(LOWORD(commands[1].wParam), 104);
    // The character messages were taken by the accelerators, the key messages went to Windows'
    // system keys.
    EXPECT_TRUE(messages(WM_SYSCHAR).empty());
    EXPECT_EQ(messages(WM_SYSKEYDOWN).size(), 2u);

    // Without Alt the same characters are plain typing.
    received.clear();
    key(Qt::Key_Question, Qt::ShiftModifier, "?");
    EXPECT_TRUE(messages(WM_COMMAND).empty());
    ASSERT_EQ(messages(WM_CHAR).size(), 1u);
    EXPECT_EQ(messages(WM_CHAR)[0].wParam, static_cast<WPARAM>('?'));
    EXPECT_EQ(messages(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>(VK_OEM_2));
}

TEST_F(MainWindow, AcceleratorsComeBeforeTheMenuBarsMnemonics) {
    // Through the window system, as a real key press comes: Qt offers the key to its shortcuts
    // first, and the Help menu's title "&?" makes Alt+"?" one of them.
    QWidget* top = seam::topLevelWidget(window);
    top->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
    // (Without Shift: offscreen matches a shortcut's modifiers exactly, where xcb also tries the
    // key without the Shift that typed "?".)
    QTest::keyClick(top->windowHandle(), Qt::Key_Question, Qt::AltModifier);
    pump();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);  // no menu opened
    const auto commands = messages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 104);

    // A mnemonic that no accelerator claims still opens its menu.
    received.clear();
    const auto ef = static_cast<Qt::Key>(0x0424);  // the key of "&Файл"
    QTest::sendKeyEvent(QTest::Press, top->windowHandle(), ef, QString(QChar(0x0444)),
                        Qt::AltModifier);
    QTest::sendKeyEvent(QTest::Release, top->windowHandle(), ef, QString(QChar(0x0444)),
                        Qt::AltModifier);
    pump();
    EXPECT_NE(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(messages(WM_COMMAND).empty());
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

// A key event as the window system delivers it, at a server time in milliseconds.
void sendKey(QWidget* to, QEvent::Type type, Qt::Key key, bool repeat, quint64 time) {
    QKeyEvent event(type, key, Qt::NoModifier,
                    key == Qt::Key_Space ? QStringLiteral(" ") : QString(), repeat);
    event.setTimestamp(time);
    QApplication::sendEvent(to, &event);
}

TEST_F(MainWindow, AHeldKeyRepeatsItsKeyDownAndIsReleasedOnce) {
    // X sends each auto-repeat as a release and a press of the same time; Qt marks the pair as
    // a repeat only when both had arrived together, which it cannot always see.
    QWidget* client = seam::clientWidget(window);
    sendKey(client, QEvent::KeyPress, Qt::Key_Space, false, 1000);
    sendKey(client, QEvent::KeyRelease, Qt::Key_Space, true, 1500);  // marked by Qt
    sendKey(client, QEvent::KeyPress, Qt::Key_Space, true, 1500);
    sendKey(client, QEvent::KeyRelease, Qt::Key_Space, false, 1540);  // not marked
    sendKey(client, QEvent::KeyPress, Qt::Key_Space, false, 1540);
    sendKey(client, QEvent::KeyRelease, Qt::Key_Space, false, 1580);
    sendKey(client, QEvent::KeyPress, Qt::Key_Space, false, 1580);
    EXPECT_NE(GetKeyState(VK_SPACE) & 0x8000, 0);                     // still held
    sendKey(client, QEvent::KeyRelease, Qt::Key_Space, false, 2000);  // let go
    EXPECT_TRUE(QTest::qWaitFor([this] {
        pump();
        return !messages(WM_KEYUP).empty();
    }));
    const auto downs = messages(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 4u);
    EXPECT_EQ(static_cast<DWORD>(downs[0].lParam) & (1u << 30), 0u);  // the first press
    for (size_t i = 1; i < downs.size(); ++i) {
        EXPECT_NE(static_cast<DWORD>(downs[i].lParam) & (1u << 30), 0u);  // was down before
        EXPECT_EQ(downs[i].lParam & 0xFFFF, 1);                           // one repeat each
    }
    ASSERT_EQ(messages(WM_KEYUP).size(), 1u);
    EXPECT_EQ(messages(WM_KEYUP)[0].wParam, static_cast<WPARAM>(VK_SPACE));
    EXPECT_EQ(messages(WM_CHAR).size(), 4u);
    EXPECT_EQ(GetKeyState(VK_SPACE) & 0x8000, 0);

    // Typed twice, a key is released in between: the release goes out before the next press.
    received.clear();
    sendKey(client, QEvent::KeyPress, Qt::Key_Space, false, 3000);
    sendKey(client, QEvent::KeyRelease, Qt::Key_Space, false, 3090);
    sendKey(client, QEvent::KeyPress, Qt::Key_Space, false, 3200);
    sendKey(client, QEvent::KeyRelease, Qt::Key_Space, false, 3290);
    EXPECT_TRUE(QTest::qWaitFor([this] {
        pump();
        return messages(WM_KEYUP).size() == 2;
    }));
    std::vector<UINT> order;
    for (const MSG& m : received) {
        if (m.message == WM_KEYDOWN || m.message == WM_KEYUP)
            order.push_back(m.message);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYUP}));
    EXPECT_EQ(static_cast<DWORD>(messages(WM_KEYDOWN)[1].lParam) & (1u << 30), 0u);
}

TEST_F(MainWindow, CyrillicTypingArrivesAs1251Characters) {
    key(static_cast<Qt::Key>(0x0419), Qt::NoModifier, QString(QChar(0x0439)));  // й on the Q key
    ASSERT_EQ(messages(WM_CHAR).size(), 1u);
    EXPECT_EQ(messages(WM_CHAR)[0].wParam, 0xE9u);
    EXPECT_EQ(messages(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>('Q'));
}

TEST_F(MainWindow, TheCursorPositionIsThatOfTheLastMouseEvent) {
    QTest::mouseClick(seam::clientWidget(window), Qt::LeftButton, Qt::NoModifier, QPoint(123, 45));
    QTest::mouseClick(seam::clientWidget(window), Qt::RightButton, Qt::NoModifier, QPoint(7, 8));
    pump();
    ASSERT_EQ(messages(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(messages(WM_LBUTTONDOWN)[0].lParam), 123);
    EXPECT_EQ(GET_Y_LPARAM(messages(WM_LBUTTONDOWN)[0].lParam), 45);
    ASSERT_EQ(messages(WM_RBUTTONDOWN).size(), 1u);
    POINT point;
    ASSERT_TRUE(GetCursorPos(&point));
    ASSERT_TRUE(ScreenToClient(window, &point));
    EXPECT_EQ(point.x, 7);
    EXPECT_EQ(point.y, 8);
    // Tests may place the cursor themselves.
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    SetCursorPos(origin.x + 300, origin.y + 200);
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    EXPECT_EQ(point.x, 300);
    EXPECT_EQ(point.y, 200);
}

// ---- Drawing ----

QRgb pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

void drawLineWith(HDC dc, int width, COLORREF colour, int x1, int y1, int x2, int y2) {
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(pen));
}

// A frame as the board view draws it: a bottom-up 32-bit DIB, grey fill, pens, text, one blit.
void paintFrame(HWND window, HDC windowDc) {
    RECT client;
    GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    std::memset(bits, 176, static_cast<size_t>(client.right) * client.bottom * 4);
    drawLineWith(dc, 8, 0x5A5A5A, 218, 429, 275, 429);
    drawLineWith(dc, 1, 0x808080, 210, 429, 283, 429);
    drawLineWith(dc, 6, 0x0078B4, 218, 429, 275, 429);
    drawLineWith(dc, 1, 0x000000, 10, 300, 20, 300);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0x000000);
    const char* text = "\xD5\xEE\xE4\xFB: 12";  // "Ходы: 12"
    TextOutA(dc, 8, 8, text, static_cast<int>(std::strlen(text)));
    BitBlt(windowDc, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(MainWindow, AFrameDrawnThroughTheGdiCallsReachesTheWindow) {
    painter = paintFrame;
    InvalidateRect(window, nullptr, FALSE);
    PostMessageA(window, WM_PAINT, 0, 0);
    pump();
    const QImage frame = seam::lastPresentedFrame(window);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(frame.width(), client.right);
    ASSERT_EQ(frame.height(), client.bottom);

    const QRgb grey = 0xB0B0B0, brown = 0xB47800, dark = 0x5A5A5A;
    EXPECT_EQ(pixel(frame, 600, 100), grey);
    EXPECT_EQ(pixel(frame, 246, 429), brown);  // middle of the brown bar
    // Six brown rows over an underlay of eight, all centred on the line.
    int brownRows = 0, darkRows = 0, first = -1;
    for (int y = 420; y < 440; ++y) {
        const QRgb c = pixel(frame, 246, y);
        if (c == brown)
            ++brownRows;
        if (c == dark)
            ++darkRows;
        if (c != grey && first < 0)
            first = y;
    }
    EXPECT_EQ(brownRows, 6);
    EXPECT_EQ(darkRows, 2);
    EXPECT_EQ(first, 425);
    EXPECT_EQ(pixel(frame, 246, 425), dark);
    EXPECT_EQ(pixel(frame, 246, 432), dark);
    EXPECT_EQ(pixel(frame, 216, 429), brown);      // round ends reach past the end points
    EXPECT_EQ(pixel(frame, 212, 429), 0x808080u);  // the thin grid line beyond the bars
    // A one-pixel line leaves out its last pixel.
    EXPECT_EQ(pixel(frame, 10, 300), 0u);
    EXPECT_EQ(pixel(frame, 19, 300), 0u);
    EXPECT_EQ(pixel(frame, 20, 300), grey);
    EXPECT_EQ(pixel(frame, 15, 301), grey);

    // The Cyrillic text is there, dark on the grey, within one line of about 16 pixels.
    int dark_pixels = 0, outside = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (qGray(frame.pixel(x, y)) < 90)
                (y >= 8 && y < 26 && x >= 8 && x < 100 ? dark_pixels : outside)++;
        }
    }
    EXPECT_GT(dark_pixels, 40);
    EXPECT_EQ(outside, 0);
}

}  // namespace
