// Windows as the program makes them: the class and its menu, WM_CREATE with the creation
// parameter, the title in Windows-1251, the client rectangle under the menu bar, showing and
// hiding, and the order of the messages a destroyed window receives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "shell/resource.h"

namespace {

// "Кварло 1: Круг" in 1251.
const char* const russianTitle = "\xCA\xE2\xE0\xF0\xEB\xEE 1: \xCA\xF0\xF3\xE3";

// What the procedure saw: the messages of creation and destruction, and whether the window was
// still a window when each came.
struct Seen {
    std::vector<UINT> messages;
    std::vector<bool> wasWindow;
    LPVOID createParam = nullptr;
    int createWidth = 0;
    bool failCreate = false;
    std::vector<WORD> activations;
};
Seen seen;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY ||
        message == WM_CLOSE) {
        seen.messages.push_back(message);
        seen.wasWindow.push_back(IsWindow(window) != FALSE);
    }
    if (message == WM_ACTIVATE)
        seen.activations.push_back(LOWORD(wParam));
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        seen.createParam = create->lpCreateParams;
        seen.createWidth = create->cx;
        return seen.failCreate ? -1 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* const plainClass = "KvarloConformancePlain";
const char* const menuClass = "KvarloConformanceMenu";

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        instance = GetModuleHandleA(nullptr);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = plainClass;
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_IGAME);
        windowClass.lpszClassName = menuClass;
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        seen = Seen{};
    }
    void TearDown() override {
        for (HWND window : made)
            if (IsWindow(window))
                DestroyWindow(window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }  // nothing left for the next test
        UnregisterClassA(plainClass, instance);
        UnregisterClassA(menuClass, instance);
    }
    HWND make(const char* className, const char* title, DWORD style = WS_OVERLAPPEDWINDOW,
              HMENU menu = nullptr, LPVOID param = nullptr) {
        HWND window = CreateWindowExA(0, className, title, style, 10, 10, 400, 300, nullptr, menu,
                                      instance, param);
        if (window != nullptr)
            made.push_back(window);
        return window;
    }
    HINSTANCE instance = nullptr;
    std::vector<HWND> made;
};

TEST_F(Windows, CreationSendsWmCreateWithTheParameterBeforeReturning) {
    int parameter = 0;
    HWND window = make(plainClass, "a", WS_OVERLAPPEDWINDOW, nullptr, &parameter);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(seen.messages, (std::vector<UINT>{WM_CREATE}));
    EXPECT_EQ(seen.createParam, &parameter);
    EXPECT_EQ(seen.createWidth, 400);
    EXPECT_TRUE(IsWindow(window));

    // A procedure that refuses WM_CREATE leaves no window behind.
    seen = Seen{};
    seen.failCreate = true;
    EXPECT_EQ(make(plainClass, "refused"), nullptr);
    ASSERT_FALSE(seen.messages.empty());
    EXPECT_EQ(seen.messages.front(), static_cast<UINT>(WM_CREATE));
}

TEST_F(Windows, ClassesAreRegisteredOnceAndFoundByName) {
    WNDCLASSA again = {};
    again.lpfnWndProc = windowProc;
    again.hInstance = instance;
    again.lpszClassName = plainClass;
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    // (Which error a missing class gives differs between Windows versions; nothing reads it.)
    EXPECT_EQ(make("KvarloConformanceNoSuchClass", "x"), nullptr);
    EXPECT_TRUE(UnregisterClassA(plainClass, instance));
    EXPECT_EQ(make(plainClass, "x"), nullptr);
}

TEST_F(Windows, ARussianTitleReadsBackIn1251) {
    HWND window = make(plainClass, russianTitle);
    ASSERT_NE(window, nullptr);
    char title[64] = {};
    const int length = static_cast<int>(std::strlen(russianTitle));
    EXPECT_EQ(GetWindowTextLengthA(window), length);
    EXPECT_EQ(GetWindowTextA(window, title, sizeof title), length);
    EXPECT_STREQ(title, russianTitle);

    // As the program names the open figure after the program's own name.
    const std::string renamed = std::string(russianTitle) + " - \xEA\xF0\xF3\xE3";  // "круг"
    ASSERT_TRUE(SetWindowTextA(window, renamed.c_str()));
    EXPECT_EQ(GetWindowTextLengthA(window), static_cast<int>(renamed.size()));
    EXPECT_EQ(GetWindowTextA(window, title, sizeof title), static_cast<int>(renamed.size()));
    EXPECT_EQ(std::string(title), renamed);

    char cut[5];
    EXPECT_EQ(GetWindowTextA(window, cut, sizeof cut), 4);  // cut and terminated
    EXPECT_EQ(std::string(cut), renamed.substr(0, 4));
}

TEST_F(Windows, TheClientAreaLiesInsideTheWindowAndTheMenuBarTakesItsHeight) {
    HWND plain = make(plainClass, "plain");
    HWND withMenu = make(menuClass, "menu");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(withMenu, nullptr);
    RECT bare = {}, under = {};
    ASSERT_TRUE(GetClientRect(plain, &bare));
    ASSERT_TRUE(GetClientRect(withMenu, &under));
    for (const RECT& client : {bare, under}) {
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.top, 0);
        EXPECT_GT(client.right, 300);  // what a frame takes is far less than a quarter
        EXPECT_LE(client.right, 400);
        EXPECT_GT(client.bottom, 150);
        EXPECT_LE(client.bottom, 300);
    }
    EXPECT_EQ(under.right, bare.right);
    EXPECT_LT(under.bottom, bare.bottom);

    // Client and screen coordinates convert both ways.
    POINT point = {17, 23};
    ASSERT_TRUE(ClientToScreen(withMenu, &point));
    POINT origin = {0, 0};
    ASSERT_TRUE(ClientToScreen(withMenu, &origin));
    EXPECT_EQ(point.x - origin.x, 17);
    EXPECT_EQ(point.y - origin.y, 23);
    ASSERT_TRUE(ScreenToClient(withMenu, &point));
    EXPECT_EQ(point.x, 17);
    EXPECT_EQ(point.y, 23);
}

TEST_F(Windows, ShowWindowAnswersWhetherTheWindowWasVisible) {
    HWND window = make(plainClass, "shown");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window, SW_HIDE));

    HWND visible = make(plainClass, "visible", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_NE(visible, nullptr);
    EXPECT_TRUE(ShowWindow(visible, SW_HIDE));
}

TEST_F(Windows, AWindowShownIsActivated) {
#ifndef _WIN32
    GTEST_SKIP() << "the Linux layer sends WM_ACTIVATE only to the owner of a message box or file "
                    "dialog, as the box comes and goes";
#endif
    HWND window = make(plainClass, "activated");
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    ASSERT_FALSE(seen.activations.empty());
    EXPECT_NE(seen.activations.back(), WA_INACTIVE);
}

TEST_F(Windows, DestroyingSendsWmDestroyThenWmNcDestroyToALiveWindow) {
    HWND window = make(plainClass, "destroyed");
    ASSERT_NE(window, nullptr);
    seen = Seen{};
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(seen.messages, (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    // The program still reads its window while these come (the title, the client size).
    EXPECT_EQ(seen.wasWindow, (std::vector<bool>{true, true}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(Windows, WmCloseLeftToDefWindowProcDestroysTheWindow) {
    HWND window = make(plainClass, "closed");
    ASSERT_NE(window, nullptr);
    seen = Seen{};
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(seen.messages, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Windows, TheClassMenuOrAMenuGivenIsTheWindowsMenu) {
    HWND plain = make(plainClass, "plain");
    HWND fromClass = make(menuClass, "class menu");
    HMENU loaded = LoadMenuA(instance, MAKEINTRESOURCEA(IDC_IGAME));
    ASSERT_NE(loaded, nullptr);
    HWND given = make(plainClass, "given", WS_OVERLAPPEDWINDOW, loaded);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(fromClass, nullptr);
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(GetMenu(plain), nullptr);
    EXPECT_EQ(GetMenu(given), loaded);
    HMENU menu = GetMenu(fromClass);
    ASSERT_NE(menu, nullptr);
    EXPECT_NE(menu, loaded);  // each window has a menu of its own
    EXPECT_EQ(GetMenuItemCount(menu), 5);
}

// The menu bar's pop-ups and items, read back by position and by command as the program's
// status texts and tests do.
TEST_F(Windows, MenuItemsAreFoundByPositionAndByCommand) {
    HWND window = make(menuClass, "menu");
    ASSERT_NE(window, nullptr);
    HMENU bar = GetMenu(window);
    ASSERT_NE(bar, nullptr);
    char text[64] = {};
    ASSERT_EQ(GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION), 5);
    EXPECT_STREQ(text, "&\xD4\xE0\xE9\xEB");  // "&Файл"
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(ID_FIGURE_OPEN));
    EXPECT_EQ(GetMenuItemID(file, 1), 0u);  // a separator
    EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(IDM_EXIT));
    EXPECT_EQ(GetSubMenu(file, 0), nullptr);  // an item is no pop-up
    EXPECT_EQ(GetSubMenu(bar, 5), nullptr);   // past the end

    // By command, searched through the pop-ups; cut to the buffer like every text.
    ASSERT_GT(GetMenuStringA(bar, ID_SOLVER_STOP, text, sizeof text, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text,
                 "&\xCF\xF0\xE5\xF0\xE2\xE0\xF2\xFC \xEF\xEE\xE8\xF1\xEA");  // "&Прервать поиск"
    char cut[4];
    EXPECT_EQ(GetMenuStringA(bar, ID_SOLVER_STOP, cut, sizeof cut, MF_BYCOMMAND), 3);
    EXPECT_STREQ(cut, "&\xCF\xF0");
    EXPECT_EQ(GetMenuStringA(bar, 999, text, sizeof text, MF_BYCOMMAND), 0);
}

}  // namespace
