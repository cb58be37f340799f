// The compiled resource script read through the API: strings, menu, accelerators, the About box,
// the picture, the icon and the sounds come back the same from windres on Windows and from our
// resource compiler on Linux.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "shell/resource.h"

namespace {

uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// "Головоломка "Кварло 1"" in Windows-1251, whatever the system's code page.
const char* const appTitle =
    "\xC3\xEE\xEB\xEE\xE2\xEE\xEB\xEE\xEC\xEA\xE0 \"\xCA\xE2\xE0\xF0\xEB\xEE 1\"";

TEST(Resources, StringsComeBackIn1251CutToTheBuffer) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char text[324];
    ASSERT_EQ(LoadStringA(instance, IDS_APP_TITLE, text, sizeof text), 22);
    EXPECT_STREQ(text, appTitle);
    ASSERT_EQ(LoadStringA(instance, IDC_IGAME, text, sizeof text), 5);
    EXPECT_STREQ(text, "IGAME");
    char small[4];
    EXPECT_EQ(LoadStringA(instance, IDC_IGAME, small, sizeof small), 3);  // cut and terminated
    EXPECT_STREQ(small, "IGA");
    EXPECT_EQ(LoadStringA(instance, 999, text, sizeof text), 0);
}

TEST(Resources, TheMenuWithItsCommandsAndTexts) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_IGAME));
    ASSERT_NE(menu, nullptr);
    // Each pop-up's commands in order, 0 for a separator.
    const std::vector<std::vector<UINT>> ids = {
        {ID_FIGURE_OPEN, 0, IDM_EXIT},
        {ID_GAME_RESTART, 0, ID_GAME_BACK, ID_GAME_FORWARD, 0, ID_GAME_FIRST, ID_GAME_LAST, 0,
         ID_GAME_OPEN, ID_GAME_SAVE},
        {ID_SOLVER_SEARCH_ANEW, 0, ID_SOLVER_SEARCH, ID_SOLVER_STOP, 0, ID_SOLVER_BEST_TO_GAME, 0,
         ID_SOLUTION_OPEN, ID_SOLUTION_SAVE, 0, ID_HELP_PRODUCT},
        {ID_FIGURE_EDIT, 0, ID_FIGURE_SAVE, 0, ID_FIGURE_REMOVE},
        {ID_HELP_MANUAL, 0, ID_HELP_SITE, IDM_ABOUT},
    };
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(ids.size()));
    for (size_t p = 0; p < ids.size(); ++p) {
        HMENU popup = GetSubMenu(menu, static_cast<int>(p));
        ASSERT_NE(popup, nullptr) << p;
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(ids[p].size())) << p;
        for (size_t i = 0; i < ids[p].size(); ++i)
            EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(i)), ids[p][i]) << p << " " << i;
    }
    EXPECT_EQ(GetMenuItemID(menu, 0), static_cast<UINT>(-1));  // a popup has no command
    char text[64];
    ASSERT_GT(GetMenuStringA(menu, IDM_EXIT, text, sizeof text, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, "\xC2&\xFB\xF5\xEE\xE4");  // "В&ыход"
}

// Records the commands a window receives.
UINT lastCommand = 0;
LRESULT CALLBACK commandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        lastCommand = LOWORD(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createCommandWindow() {
    static const char* const className = "KvarloConformanceCommands";
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = commandWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        registered = RegisterClassA(&windowClass) != 0;
    }
    return CreateWindowExA(0, className, "commands", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

// WM_SYSCHAR '?' with Alt held, as the keyboard delivers Alt+? to the window.
MSG altCharacter(HWND window, char key) {
    MSG msg = {};
    msg.hwnd = window;
    msg.message = WM_SYSCHAR;
    msg.wParam = static_cast<unsigned char>(key);
    msg.lParam = 0x20000001;  // Alt held, one repeat
    return msg;
}

TEST(Resources, TheAcceleratorsLoadAndPassOtherKeysOn) {
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_IGAME));
    ASSERT_NE(accelerators, nullptr);
    HWND window = createCommandWindow();
    ASSERT_NE(window, nullptr);
    lastCommand = 0;
    MSG msg = altCharacter(window, 'x');
    EXPECT_EQ(TranslateAcceleratorA(window, accelerators, &msg), 0);
    EXPECT_EQ(lastCommand, 0u);
    EXPECT_EQ(LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999)), nullptr);
    DestroyWindow(window);
}

// The real call asks the keyboard whether Alt is held; nobody holds it while this test runs.
TEST(Resources, AnAltCharacterAcceleratorNeedsAltHeldOnTheKeyboard) {
#ifndef _WIN32
    GTEST_SKIP() << "the Linux layer takes Alt from the WM_SYSCHAR (bit 29 of lParam), not from "
                    "the key state, so it translates Alt+? posted while Alt is up";
#endif
    HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_IGAME));
    HWND window = createCommandWindow();
    ASSERT_NE(window, nullptr);
    for (char key : {'?', '/'}) {
        lastCommand = 0;
        MSG msg = altCharacter(window, key);
        EXPECT_EQ(TranslateAcceleratorA(window, accelerators, &msg), 0) << key;
        EXPECT_EQ(lastCommand, 0u) << key;
    }
    DestroyWindow(window);
}

// The About box's procedure: reads its caption, then ends from a message it posted itself, so
// the box's own loop delivers it.
struct AboutVisit {
    std::string caption;
    LPARAM param = 0;
    bool sawPosted = false;
};
const UINT endAbout = WM_APP + 5;

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    static AboutVisit* visit = nullptr;
    if (message == WM_INITDIALOG) {
        visit = reinterpret_cast<AboutVisit*>(lParam);
        visit->param = lParam;
        char caption[64] = {};
        GetWindowTextA(dialog, caption, sizeof caption);
        visit->caption = caption;
        PostMessageA(dialog, endAbout, 0, 0);
        return TRUE;
    }
    if (message == endAbout) {
        visit->sawPosted = true;
        EndDialog(dialog, 42);
        return TRUE;
    }
    return FALSE;
}

TEST(Resources, TheAboutBoxRunsModallyUntilEndDialog) {
    AboutVisit visit;
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), nullptr,
                        aboutProc, reinterpret_cast<LPARAM>(&visit));
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(visit.sawPosted);
    EXPECT_EQ(visit.param, reinterpret_cast<LPARAM>(&visit));
    EXPECT_EQ(visit.caption, "\xCE \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE5");  // "О программе"
    EXPECT_EQ(
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr, aboutProc, 0),
        -1);
}

const unsigned char* resourceBytes(LPCSTR name, LPCSTR type, DWORD* size) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, name, type);
    if (resource == nullptr)
        return nullptr;
    *size = SizeofResource(module, resource);
    return static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
}

TEST(Resources, TheAboutSoundsAreThreeDifferentPcmMono8000Hz8BitTunes) {
    std::string tunes[3];
    int index = 0;
    for (const char* name : {"REC1", "REC2", "REC5"}) {
        DWORD size = 0;
        const unsigned char* data = resourceBytes(name, "WAVE", &size);
        ASSERT_NE(data, nullptr) << name;
        ASSERT_GT(size, 44u);
        EXPECT_EQ(std::memcmp(data, "RIFF", 4), 0);
        EXPECT_EQ(std::memcmp(data + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(le16(data + 20), 1);  // PCM
        EXPECT_EQ(le16(data + 22), 1);  // one channel
        EXPECT_EQ(le32(data + 24), 8000u);
        EXPECT_EQ(le16(data + 34), 8);
        EXPECT_GT(size, 30000u);
        EXPECT_LT(size, 34000u);
        tunes[index++].assign(reinterpret_cast<const char*>(data), size);
    }
    EXPECT_NE(tunes[0], tunes[1]);
    EXPECT_NE(tunes[1], tunes[2]);
    DWORD size = 0;
    EXPECT_NE(resourceBytes("rec1", "WAVE", &size), nullptr);  // names match in any case
    EXPECT_EQ(resourceBytes("REC3", "WAVE", &size), nullptr);
}

TEST(Resources, ThePictureStartsAtItsInfoHeader) {
    DWORD size = 0;
    const unsigned char* header = resourceBytes(MAKEINTRESOURCEA(IDB_ABOUT), RT_BITMAP, &size);
    ASSERT_NE(header, nullptr);
    ASSERT_GE(size, 40u);
    EXPECT_EQ(le32(header), 40u);  // no file header, as bitmap resources are kept
    EXPECT_EQ(le32(header + 4), 130u);
    EXPECT_EQ(le32(header + 8), 171u);
    EXPECT_EQ(le16(header + 14), 8);
    EXPECT_NE(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_ABOUT)), nullptr);
}

TEST(Resources, TheIconHasTwoSixteenColourImages) {
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_IGAME)), nullptr);
    DWORD size = 0;
    const unsigned char* group = resourceBytes(MAKEINTRESOURCEA(IDI_IGAME), RT_GROUP_ICON, &size);
    ASSERT_NE(group, nullptr);
    ASSERT_GE(size, 6u + 2 * 14u);
    ASSERT_EQ(le16(group + 4), 2);
    EXPECT_EQ(group[6], 32);  // the first image: 32 pixels wide, 16 colours
    EXPECT_EQ(group[8], 16);
}

TEST(Resources, TheIconGroupListsItsImagesIn14ByteEntries) {
#ifndef _WIN32
    GTEST_SKIP() << "the Linux layer keeps the whole .ico file under RT_GROUP_ICON (16-byte "
                    "entries with file offsets), not a group directory naming RT_ICON resources";
#endif
    DWORD size = 0;
    const unsigned char* group = resourceBytes(MAKEINTRESOURCEA(IDI_IGAME), RT_GROUP_ICON, &size);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(size, 6u + 2 * 14u);
    EXPECT_EQ(group[6 + 14], 16);  // the second image: 16 pixels wide, 16 colours
    EXPECT_EQ(group[8 + 14], 16);
    for (int entry = 0; entry < 2; ++entry) {
        const uint16_t id = le16(group + 6 + 14 * entry + 12);
        EXPECT_NE(resourceBytes(MAKEINTRESOURCEA(id), RT_ICON, &size), nullptr) << id;
    }
}

}  // namespace
