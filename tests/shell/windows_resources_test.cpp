// On Windows the same resource script goes through windres and the real API: the program reads
// the same strings, menu, accelerators and sounds as on Linux, and finds its folder by '\\'.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/resource.h"
#include "shell/services.h"

namespace {

TEST(WindowsResources, TheRealApiReadsTheScript) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char text[324];
    EXPECT_EQ(LoadStringA(instance, IDS_APP_TITLE, text, sizeof text), 22);
    EXPECT_STREQ(text,
                 "\xC3\xEE\xEB\xEE\xE2\xEE\xEB\xEE\xEC\xEA\xE0 \"\xCA\xE2\xE0\xF0\xEB\xEE 1\"");
    EXPECT_EQ(LoadStringA(instance, IDC_IGAME, text, sizeof text), 5);
    EXPECT_STREQ(text, "IGAME");
    EXPECT_NE(LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_IGAME)), nullptr);
    EXPECT_NE(LoadIconA(instance, MAKEINTRESOURCEA(IDI_IGAME)), nullptr);
    EXPECT_NE(FindResourceA(instance, "REC5", "WAVE"), nullptr);
    EXPECT_NE(FindResourceA(instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), RT_DIALOG), nullptr);

    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDC_IGAME));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 4), 3), static_cast<UINT>(IDM_ABOUT));
    ASSERT_GT(GetMenuStringA(menu, IDM_EXIT, text, sizeof text, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, "\xC2&\xFB\xF5\xEE\xE4");  // "В&ыход"
}

TEST(WindowsResources, TheManualIsBesideTheExecutable) {
    const std::string folder = kvarlo::programDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(kvarlo::programFilePath("help.txt"), folder + "help.txt");
}

}  // namespace
