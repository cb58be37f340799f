// Linux only: the tables our resource compiler makes of the program's script hold what the script
// says (what the API gives back of them is in tests/conformance/), and the assets are the
// generator's output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/resource_table.h"
#include "shell/resource.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CompiledScript, TwoCharacterAcceleratorsWithAlt) {
    const auto& table = kvarlo::platform::moduleResources();
    ASSERT_EQ(table.acceleratorCount, 1u);
    const auto& accelerators = table.accelerators[0];
    EXPECT_EQ(accelerators.name.id, static_cast<unsigned>(IDC_IGAME));
    ASSERT_EQ(accelerators.count, 2u);
    EXPECT_EQ(accelerators.entries[0].fVirt, FALT);
    EXPECT_EQ(accelerators.entries[0].key, '?');
    EXPECT_EQ(accelerators.entries[0].cmd, IDM_ABOUT);
    EXPECT_EQ(accelerators.entries[1].fVirt, FALT | 0x80);  // the end of the table
    EXPECT_EQ(accelerators.entries[1].key, '/');
    EXPECT_NE(LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_IGAME)), nullptr);
}

TEST(CompiledScript, TheAboutBoxTemplateInRussian) {
    const auto& table = kvarlo::platform::moduleResources();
    EXPECT_EQ(table.language, 0x0419u);
    ASSERT_EQ(table.dialogCount, 1u);
    const auto& d = table.dialogs[0];
    EXPECT_EQ(d.name.id, static_cast<unsigned>(IDD_ABOUTBOX));
    EXPECT_EQ(d.style, 0x00C800C0u);
    EXPECT_EQ(std::make_tuple(d.x, d.y, d.cx, d.cy), std::make_tuple(22, 17, 213, 103));
    EXPECT_STREQ(d.caption, "\xCE \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE5");
    EXPECT_EQ(d.fontSize, 8);
    EXPECT_STREQ(d.fontName, "System");
    ASSERT_EQ(d.count, 3u);
    const auto& text = d.controls[0];
    EXPECT_STREQ(text.className, "STATIC");
    EXPECT_STREQ(
        text.text,
        "\xC3-\xEE-\xEB-\xEE-\xE2-\xEE-\xEB-\xEE-\xEC-\xEA-\xE0   \"\xCA\xE2\xE0\xF0\xEB\xEE 1\"");
    EXPECT_EQ(text.style & 0xFFFFu, static_cast<DWORD>(SS_CENTER | SS_NOPREFIX));
    EXPECT_TRUE(text.style & WS_GROUP);
    EXPECT_EQ(std::make_tuple(text.x, text.y, text.cx, text.cy), std::make_tuple(78, 10, 126, 8));
    const auto& button = d.controls[1];
    EXPECT_STREQ(button.className, "BUTTON");
    EXPECT_EQ(button.id, IDOK);
    EXPECT_EQ(button.style & 0x0F, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_TRUE((button.style & WS_TABSTOP) && (button.style & WS_GROUP));
    EXPECT_EQ(std::make_tuple(button.x, button.y, button.cx, button.cy),
              std::make_tuple(94, 80, 93, 13));
    const auto& picture = d.controls[2];
    EXPECT_EQ(picture.image.id, static_cast<unsigned>(IDB_ABOUT));
    EXPECT_EQ(picture.style & 0xFFFFu, static_cast<DWORD>(SS_BITMAP | SS_REALSIZEIMAGE));
    EXPECT_EQ(std::make_tuple(picture.x, picture.y, picture.cx, picture.cy),
              std::make_tuple(6, 8, 88, 84));
}

TEST(Assets, TheGeneratorReproducesThemByteForByte) {
    const fs::path out =
        fs::temp_directory_path() / ("kvarlo-assets-" + std::to_string(::getpid()));
    fs::create_directories(out);
    const std::string command = std::string(ASSET_GENERATOR) + " " + out.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name :
         {"kvarlo.ico", "about.bmp", "rec1.wav", "rec2.wav", "rec5.wav", "explosio.wav"}) {
        const std::string generated = readAll(out / name);
        ASSERT_FALSE(generated.empty()) << name;
        EXPECT_TRUE(generated == readAll(fs::path(SOURCE_DIR) / "assets" / name))
            << name << " differs from its generator's output";
    }
    fs::remove_all(out);
}

TEST(Assets, TheManualIsUtf8WithAByteOrderMark) {
    const std::string manual = readAll(fs::path(SOURCE_DIR) / "assets/help.txt");
    ASSERT_GT(manual.size(), 1000u);
    EXPECT_EQ(manual.substr(0, 3), "\xEF\xBB\xBF");
    // Every key of the program is explained.
    for (const char* word :
         {"Backspace", "Insert", "Alt", "Num", "default.t1a", "explosio.wav", ".t1b", ".t1c"}) {
        EXPECT_NE(manual.find(word), std::string::npos) << word;
    }
}

}  // namespace
