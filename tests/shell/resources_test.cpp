// The compiled resource script and the generated assets: what the program loads is what the
// script says, in the formats the program needs, and the assets are the generator's output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/resource_table.h"
#include "platform/win32.h"
#include "shell/resource.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

TEST(Resources, StringsAreThe1251TitleAndTheClassName) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char text[324];
    ASSERT_EQ(LoadStringA(instance, IDS_APP_TITLE, text, sizeof text), 22);
    EXPECT_STREQ(text,
                 "\xC3\xEE\xEB\xEE\xE2\xEE\xEB\xEE\xEC\xEA\xE0 \"\xCA\xE2\xE0\xF0\xEB\xEE 1\"");
    ASSERT_EQ(LoadStringA(instance, IDC_IGAME, text, sizeof text), 5);
    EXPECT_STREQ(text, "IGAME");
    char small[4];
    EXPECT_EQ(LoadStringA(instance, IDC_IGAME, small, sizeof small), 3);  // cut and terminated
    EXPECT_STREQ(small, "IGA");
    EXPECT_EQ(LoadStringA(instance, 999, text, sizeof text), 0);
    EXPECT_EQ(kvarlo::platform::moduleResources().language, 0x0419u);
}

TEST(Resources, TwoCharacterAcceleratorsWithAlt) {
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

TEST(Resources, TheAboutBoxTemplate) {
    const auto& table = kvarlo::platform::moduleResources();
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

TEST(Resources, TheAboutSoundsArePcmMono8000Hz8Bit) {
    HMODULE module = GetModuleHandleA(nullptr);
    for (const char* name : {"REC1", "REC2", "REC5", "rec1"}) {
        HRSRC resource = FindResourceA(module, name, "WAVE");
        ASSERT_NE(resource, nullptr) << name;
        const auto* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
        const DWORD size = SizeofResource(module, resource);
        ASSERT_GT(size, 44u);
        EXPECT_EQ(std::memcmp(data, "RIFF", 4), 0);
        EXPECT_EQ(std::memcmp(data + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(le16(data + 20), 1);  // PCM
        EXPECT_EQ(le16(data + 22), 1);  // one channel
        EXPECT_EQ(le32(data + 24), 8000u);
        EXPECT_EQ(le16(data + 34), 8);
        EXPECT_GT(size, 30000u);
        EXPECT_LT(size, 34000u);
    }
    const std::string a = readAll(fs::path(SOURCE_DIR) / "assets/rec1.wav");
    const std::string b = readAll(fs::path(SOURCE_DIR) / "assets/rec2.wav");
    const std::string c = readAll(fs::path(SOURCE_DIR) / "assets/rec5.wav");
    EXPECT_NE(a, b);  // three different tunes
    EXPECT_NE(b, c);
    EXPECT_EQ(FindResourceA(module, "REC3", "WAVE"), nullptr);
}

TEST(Resources, ThePictureAndTheIcon) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC bitmap = FindResourceA(module, MAKEINTRESOURCEA(IDB_ABOUT), RT_BITMAP);
    ASSERT_NE(bitmap, nullptr);
    const auto* header =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, bitmap)));
    EXPECT_EQ(le32(header), 40u);  // starts at the info header, as bitmap resources do
    EXPECT_EQ(le32(header + 4), 130u);
    EXPECT_EQ(le32(header + 8), 171u);
    EXPECT_EQ(le16(header + 14), 8);

    HRSRC icon = FindResourceA(module, MAKEINTRESOURCEA(IDI_IGAME), RT_GROUP_ICON);
    ASSERT_NE(icon, nullptr);
    const auto* ico = static_cast<const unsigned char*>(LockResource(LoadResource(module, icon)));
    ASSERT_EQ(le16(ico + 4), 2);
    EXPECT_EQ(ico[6], 32);
    EXPECT_EQ(ico[8], 16);  // 16 colours
    EXPECT_EQ(ico[6 + 16], 16);
    EXPECT_EQ(ico[8 + 16], 16);
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
