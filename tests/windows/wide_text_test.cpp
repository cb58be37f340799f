// The Windows build's one conversion boundary: the program's 1251 strings and UTF-16, checked
// against Windows' own 1251 table, and what it does with names 1251 cannot hold. Run under a
// non-Russian locale, where the ANSI calls would get every Cyrillic letter wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/win32.h"
#include "platform/windows/wide_text.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using kvarlo::wide::narrowExact;
using kvarlo::wide::narrowLossy;
using kvarlo::wide::narrowPath;
using kvarlo::wide::widen;

// "Фигура" in 1251, spelt out so the test does not lean on the compiler's conversion.
constexpr char figure1251[] = "\xD4\xE8\xE3\xF3\xF0\xE0";

TEST(WideText, EveryByteRoundTripsAndMatchesTheSystemTable) {
    for (int value = 1; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const std::wstring wide = widen(&byte, 1);
        ASSERT_EQ(wide.size(), 1u) << value;
        wchar_t system = 0;
        ASSERT_EQ(MultiByteToWideChar(1251, 0, &byte, 1, &system, 1), 1) << value;
        EXPECT_EQ(static_cast<int>(wide[0]), static_cast<int>(system)) << "byte " << value;
        const auto back = narrowExact(wide);
        ASSERT_TRUE(back.has_value()) << value;
        EXPECT_EQ(*back, std::string(1, byte)) << value;
    }
    EXPECT_EQ(widen(figure1251), L"Фигура");
    EXPECT_EQ(widen(nullptr), L"");
    EXPECT_EQ(widen("ab\0cd", 5), std::wstring(L"ab\0cd", 5));  // a length given reads past zeros
}

TEST(WideText, NamesOutside1251AreRefusedWholeNotMangled) {
    EXPECT_EQ(narrowExact(L"Фигура"), std::string(figure1251));
    for (const wchar_t* name : {L"J\u00f6rg.t1a", L"\u4e2d.t1a", L"\U0001F600.t1a", L"\uFFFD",
                                L"a\xD800"
                                L"b"}) {
        EXPECT_FALSE(narrowExact(name).has_value());
    }
    // Texts only shown get the ANSI calls' '?' for each unit they lack, lengths kept.
    EXPECT_EQ(narrowLossy(L"J\u00f6rg"), "J?rg");
    EXPECT_EQ(narrowLossy(L"\U0001F600"), "??");
}

TEST(WideText, ARefusedDialogAnswerLeavesTheCallersBuffersAlone) {
    char file[64] = "proposed";
    char title[64] = "kept";
    OPENFILENAMEA ofn{};
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.nFilterIndex = 1;

    wchar_t refusedPath[] = L"C:\\J\u00f6rg\\a.t1a";
    wchar_t refusedTitle[] = L"a.t1a";
    OPENFILENAMEW answer{};
    answer.lpstrFile = refusedPath;
    answer.lpstrFileTitle = refusedTitle;
    answer.nFileOffset = 8;
    answer.nFileExtension = 10;
    answer.nFilterIndex = 2;
    EXPECT_FALSE(kvarlo::wide::deliverDialogResult(answer, ofn));
    EXPECT_STREQ(file, "proposed");
    EXPECT_STREQ(title, "kept");
    EXPECT_EQ(ofn.nFilterIndex, 1u);

    wchar_t cyrillicPath[] = L"C:\\Фигуры\\Круг.t1a";
    wchar_t cyrillicTitle[] = L"Круг.t1a";
    answer.lpstrFile = cyrillicPath;
    answer.lpstrFileTitle = cyrillicTitle;
    answer.nFileOffset = 10;
    answer.nFileExtension = 15;
    ASSERT_TRUE(kvarlo::wide::deliverDialogResult(answer, ofn));
    EXPECT_STREQ(file, "C:\\\xD4\xE8\xE3\xF3\xF0\xFB\\\xCA\xF0\xF3\xE3.t1a");
    EXPECT_STREQ(title, "\xCA\xF0\xF3\xE3.t1a");
    EXPECT_STREQ(file + ofn.nFileOffset, title);
    EXPECT_STREQ(file + ofn.nFileExtension, "t1a");
    EXPECT_EQ(ofn.nFilterIndex, 2u);
}

// The program's folder may hold letters 1251 lacks: it is handed over in a form that still
// opens, and a Cyrillic folder exactly as it is.
TEST(WideText, FoldersOutside1251StillOpenFromTheProgramsStrings) {
    kvarlo::testing::TestFolder folder("kvarlo-wide");
    for (const wchar_t* name : {L"J\u00f6rg \u00fc", L"Фигуры"}) {
        const fs::path inside = folder.path() / name;
        fs::create_directories(inside);
        const fs::path file = inside / L"explosio.wav";
        HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(created, INVALID_HANDLE_VALUE);
        CloseHandle(created);

        const auto narrow = narrowPath(inside.wstring());
        ASSERT_TRUE(narrow.has_value());
        const std::string path = *narrow + "\\explosio.wav";
        HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(opened, INVALID_HANDLE_VALUE) << path;
        if (opened != INVALID_HANDLE_VALUE)
            CloseHandle(opened);
    }
    EXPECT_EQ(narrowPath((folder.path() / L"Фигуры").wstring()),
              narrowExact((folder.path() / L"Фигуры").wstring()));
}

TEST(WideText, TheCurrentFolderComesBackIn1251) {
    kvarlo::testing::TestFolder folder("kvarlo-wide");
    const fs::path cyrillic = folder.path() / L"Фигуры";
    fs::create_directories(cyrillic);
    const fs::path previous = fs::current_path();
    ASSERT_TRUE(SetCurrentDirectoryA((*narrowExact(cyrillic.wstring())).c_str()));
    char directory[512] = {};
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    fs::current_path(previous);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(widen(directory), fs::path(cyrillic).make_preferred().wstring());
    char small[4] = {};
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), previous.wstring().size() + 1);
}

}  // namespace
