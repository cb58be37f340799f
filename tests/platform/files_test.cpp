// The Qt layer's own side of files: the Windows-1251 conversion, the refusal of what is not a
// regular file, and the scripted file dialogs, all without a QApplication. The file calls as
// both sides answer them are tested in tests/conformance/.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/cp1251.h"
#include "platform/qt/test_seams.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;
namespace seam = kvarlo::platform::testing;

class FileCalls : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("kvarlo-files-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const char* name) const { return (folder / name).string(); }
    fs::path folder;
};

TEST(Cp1251, RoundTripsEveryAssignedByte) {
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = kvarlo::cp1251ToUtf8(one);
        const auto back = kvarlo::utf8ToCp1251(utf8);
        if (b == 0x98) {  // unassigned: shown as the replacement character, never produced back
            EXPECT_FALSE(back.has_value());
            continue;
        }
        ASSERT_TRUE(back.has_value()) << b;
        EXPECT_EQ(*back, one) << b;
    }
    EXPECT_EQ(kvarlo::cp1251ToUtf8("\xC0\xFF\xA8\xB8"),
              "\xD0\x90\xD1\x8F\xD0\x81\xD1\x91");  // А я Ё ё in UTF-8
}

TEST(Cp1251, RefusesWhatItCannotHold) {
    EXPECT_FALSE(kvarlo::utf8ToCp1251("\xE4\xB8\xAD").has_value());  // a CJK character
    EXPECT_FALSE(kvarlo::utf8ToCp1251("\xC3").has_value());          // truncated sequence
    EXPECT_FALSE(kvarlo::utf8ToCp1251("\xC0\x80").has_value());      // overlong NUL
    EXPECT_EQ(kvarlo::utf8ToCp1251("abc"), std::optional<std::string>("abc"));
}

// A FIFO without a writer would block a plain open for ever (the program hung on one given as
// its start-up figure); it is refused at once, for reading and for writing, as a device is.
TEST_F(FileCalls, OnlyRegularFilesOpenAndAPipeIsRefusedAtOnce) {
    const std::string pipe = path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const DWORD access : {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateFileA(pipe.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << access;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FILE_TYPE)) << access;
    }
    EXPECT_EQ(CreateFileA("/dev/null", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FILE_TYPE));
}

OPENFILENAMEA dialogFor(char* name, DWORD size, DWORD flags, const char* extension) {
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "\xD4\xE8\xE3\xF3\xF0\xFB (*.t1a)\0*.t1a\0All\0*.*\0";
    ofn.lpstrFile = name;
    ofn.nMaxFile = size;
    ofn.lpstrTitle = "\xCE\xF2\xEA\xF0\xFB\xF2\xFC";
    ofn.lpstrInitialDir = "/tmp";
    ofn.lpstrDefExt = extension;
    ofn.Flags = flags;
    return ofn;
}

TEST_F(FileCalls, ScriptedDialogsAnswerLikeTheRealOnes) {
    seam::clearFileDialogLog();
    seam::clearFileDialogAnswers();
    char name[256] = "untitled";

    // Save: the default extension is added to a name without one.
    seam::answerNextFileDialog(path("game"));
    OPENFILENAMEA save = dialogFor(name, 256, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, "t1b");
    ASSERT_TRUE(GetSaveFileNameA(&save));
    EXPECT_EQ(std::string(name), path("game.t1b"));
    EXPECT_EQ(std::string(name + save.nFileOffset), "game.t1b");
    EXPECT_EQ(std::string(name + save.nFileExtension), "t1b");

    // Open with must-exist: a missing file fails, an existing one is delivered as chosen.
    seam::answerNextFileDialog(path("absent.t1a"));
    OPENFILENAMEA open =
        dialogFor(name, 256, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, nullptr);
    EXPECT_FALSE(GetOpenFileNameA(&open));
    std::ofstream(path("here.t1a")) << "x";
    seam::answerNextFileDialog(path("here.t1a"));
    ASSERT_TRUE(GetOpenFileNameA(&open));
    EXPECT_EQ(std::string(name), path("here.t1a"));

    // Cancel, and a name too long for the buffer.
    seam::cancelNextFileDialog();
    EXPECT_FALSE(GetOpenFileNameA(&open));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    char small[8] = "";
    seam::answerNextFileDialog(path("here.t1a"));
    OPENFILENAMEA shortBuffer = dialogFor(small, sizeof small, 0, nullptr);
    EXPECT_FALSE(GetOpenFileNameA(&shortBuffer));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));

    // With nothing scripted and no display to show one, a dialog is a cancel, not a hang.
    EXPECT_FALSE(GetOpenFileNameA(&open));

    const auto log = seam::fileDialogLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_TRUE(log[0].save);
    EXPECT_EQ(log[0].proposedName, "untitled");
    EXPECT_EQ(log[0].defaultExtension, "t1b");
    EXPECT_EQ(log[0].flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
    EXPECT_EQ(log[0].title, "\xCE\xF2\xEA\xF0\xFB\xF2\xFC");
    ASSERT_EQ(log[0].filters.size(), 2u);
    EXPECT_EQ(log[0].filters[0].first, "\xD4\xE8\xE3\xF3\xF0\xFB (*.t1a)");
    EXPECT_EQ(log[0].filters[1].second, "*.*");
    EXPECT_EQ(log[0].initialDir, "/tmp");
    EXPECT_FALSE(log[1].save);
}

// A program that always passes the same initial folder (ours passes the current one) is brought
// back to where the user last chose a file, as Windows does; another initial folder is honoured.
TEST_F(FileCalls, TheDialogsComeBackToTheFolderLastChosen) {
    seam::clearFileDialogLog();
    seam::clearFileDialogAnswers();
    seam::forgetFileDialogFolders();
    char name[256] = "untitled";
    OPENFILENAMEA save = dialogFor(name, 256, OFN_OVERWRITEPROMPT, "t1b");
    seam::answerNextFileDialog("/var/games/first.t1b");
    ASSERT_TRUE(GetSaveFileNameA(&save));
    seam::cancelNextFileDialog();
    EXPECT_FALSE(GetSaveFileNameA(&save));  // a cancel remembers nothing
    seam::cancelNextFileDialog();
    EXPECT_FALSE(GetOpenFileNameA(&save));
    OPENFILENAMEA elsewhere = dialogFor(name, 256, 0, nullptr);
    elsewhere.lpstrInitialDir = "/srv";
    seam::cancelNextFileDialog();
    EXPECT_FALSE(GetOpenFileNameA(&elsewhere));

    const auto log = seam::fileDialogLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].startFolder, "/tmp");
    EXPECT_EQ(log[1].startFolder, "/var/games");
    EXPECT_EQ(log[2].startFolder, "/var/games");
    EXPECT_EQ(log[3].startFolder, "/srv");
}

// A name as the desktop hands it over (UTF-8): one 1251 can spell arrives in 1251; one it cannot
// fails the dialog with FNERR_INVALIDFILENAME and is left in the buffer with '?' for the letter
// 1251 lacks, cut to the buffer, so that the program can name it in its message.
TEST_F(FileCalls, ADesktopNameOutside1251FailsTheDialogAndIsLeftForAMessage) {
    seam::clearFileDialogAnswers();
    char name[256] = "proposed";
    OPENFILENAMEA save = dialogFor(name, 256, OFN_OVERWRITEPROMPT, "t1b");
    seam::answerNextFileDialogUtf8(folder.string() + reinterpret_cast<const char*>(u8"/игра"));
    ASSERT_TRUE(GetSaveFileNameA(&save));
    EXPECT_EQ(std::string(name), path("игра.t1b"));

    const std::string greek = folder.string() + reinterpret_cast<const char*>(u8"/λ-игра.t1b");
    seam::answerNextFileDialogUtf8(greek);
    EXPECT_FALSE(GetSaveFileNameA(&save));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_INVALIDFILENAME));
    EXPECT_EQ(std::string(name), path("?-игра.t1b"));

    char small[12] = "";
    OPENFILENAMEA open = dialogFor(small, sizeof small, 0, nullptr);
    seam::answerNextFileDialogUtf8(greek);
    EXPECT_FALSE(GetOpenFileNameA(&open));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_INVALIDFILENAME));
    EXPECT_EQ(std::string(small), path("?-игра.t1b").substr(0, sizeof small - 1));
}

// With no one to answer a box (here no application at all), it is recorded and answered at once
// with its first button instead of waiting for ever.
TEST(MessageBoxes, AreRecordedAndAnsweredAtOnceWhereNoOneCouldAnswer) {
    seam::clearMessageBoxLog();
    EXPECT_EQ(MessageBoxA(nullptr, "\xD2\xE5\xEA\xF1\xF2", "Caption", MB_OK | MB_ICONEXCLAMATION),
              IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Caption", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Caption", MB_OKCANCEL | MB_ICONQUESTION), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "?", "Caption", 0x0F), 0) << "no such button set";
    const auto log = seam::messageBoxLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].text, "\xD2\xE5\xEA\xF1\xF2");
    EXPECT_EQ(log[0].caption, "Caption");
    EXPECT_EQ(log[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(log[2].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
}

}  // namespace
