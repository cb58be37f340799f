// Message boxes and the file dialogs, answered the way a modal box lets its owner act: as the
// box comes it deactivates its owner, which learns the box's handle from WM_ACTIVATE and posts it
// the command of a button, as the button's click would. No timer and no second thread: the box's
// own loop delivers the posted messages.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "conformance/sides.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

// The owner of the boxes: answers each box with the button it was told; or first posts itself
// as many messages as asked, one after the other, as the program's own work goes on, and answers
// once the box's loop has delivered them.
struct Answering {
    WPARAM button = 0;
    int ownMessagesFirst = 0;
    int ownMessages = 0;  // those the box's loop delivered
    std::vector<HWND> boxesSeen;
    bool activeAgain = false;
};
Answering answering;
const UINT ownMessage = WM_APP + 3;

void answerBox() {
    PostMessageA(answering.boxesSeen.back(), WM_COMMAND, MAKEWPARAM(answering.button, 0), 0);
}

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && lParam != 0) {
        const HWND other = reinterpret_cast<HWND>(lParam);
        if (LOWORD(wParam) == WA_INACTIVE) {
            answering.boxesSeen.push_back(other);
            if (answering.ownMessagesFirst > 0)
                PostMessageA(window, ownMessage, 0, 0);
            else
                answerBox();
        } else if (!answering.boxesSeen.empty() && other == answering.boxesSeen.back()) {
            answering.activeAgain = true;
        }
    }
    if (message == ownMessage) {
        if (++answering.ownMessages < answering.ownMessagesFirst)
            PostMessageA(window, ownMessage, 0, 0);
        else
            answerBox();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* const ownerClass = "KvarloConformanceOwner";

class Boxes : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ownerProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = ownerClass;
        RegisterClassA(&windowClass);
        owner = CreateWindowExA(0, ownerClass, "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        ShowWindow(owner, SW_SHOW);
        answering = Answering{};
    }
    void TearDown() override {
        DestroyWindow(owner);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(ownerClass, GetModuleHandleA(nullptr));
    }
    void answerWith(int button) {
        answering = Answering{};
        answering.button = static_cast<WPARAM>(button);
    }
    HWND owner = nullptr;
};

// "Файл не записан" in 1251, as the program reports a failed save.
const char* const notWritten = "\xD4\xE0\xE9\xEB \xED\xE5 \xE7\xE0\xEF\xE8\xF1\xE0\xED";

TEST_F(Boxes, AMessageBoxAnswersWithTheButtonPressed) {
    const struct {
        UINT type;
        int button;
    } cases[] = {
        {MB_OK | MB_ICONEXCLAMATION, IDOK},
        {MB_OKCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDNO},
        {MB_YESNO, IDYES},
    };
    for (const auto& c : cases) {
        answerWith(c.button);
        EXPECT_EQ(MessageBoxA(owner, notWritten, "kvarlo", c.type), c.button) << c.type;
        ASSERT_EQ(answering.boxesSeen.size(), 1u) << c.type;
        EXPECT_FALSE(IsWindow(answering.boxesSeen.back())) << c.type;  // gone once answered
    }
}

// The program's work goes on while a box waits: the box's loop delivers its messages.
TEST_F(Boxes, TheOwnersMessagesFlowWhileItsBoxWaits) {
    answerWith(IDOK);
    answering.ownMessagesFirst = 3;
    EXPECT_EQ(MessageBoxA(owner, notWritten, "kvarlo", MB_OK), IDOK);
    EXPECT_EQ(answering.ownMessages, 3);
    EXPECT_EQ(answering.boxesSeen.size(), 1u);
    EXPECT_TRUE(answering.activeAgain);  // the owner is active again once the box has gone
}

// A folder of the test's own under the temporary one, with an ASCII path (which reads the same
// in 1251), made and removed around each test.
class FileDialogs : public Boxes {
protected:
    void SetUp() override {
        Boxes::SetUp();
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(fs::temp_directory_path().string().c_str(), "kvd", 0, name), 0u);
        ASSERT_TRUE(DeleteFileA(name));
        folder = name;
        ASSERT_TRUE(fs::create_directory(folder));
        initialDir = folder.string();
        std::memset(file, 0, sizeof file);
        ASSERT_GT(GetCurrentDirectoryA(sizeof current, current), 0u);
    }
    // Windows' dialogs make the chosen folder the current one; it must be left to be removed.
    void TearDown() override {
        SetCurrentDirectoryA(current);
        fs::remove_all(folder);
        Boxes::TearDown();
    }
    // The structure as the program fills it for its figures.
    OPENFILENAMEA dialog(const char* proposed, DWORD flags) {
        std::strncpy(file, proposed, sizeof file - 1);
        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = "\xD4\xE8\xE3\xF3\xF0\xFB (*.t1a)\0*.t1a\0*.*\0*.*\0";  // "Фигуры"
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file;
        ofn.nMaxFile = sizeof file;
        ofn.lpstrInitialDir = initialDir.c_str();
        ofn.lpstrDefExt = "t1a";
        ofn.Flags = flags;
        return ofn;
    }
    // The folder part of the chosen path, as the file system names it.
    fs::path chosenFolder(const OPENFILENAMEA& ofn) const {
        return fs::path(std::string(file, ofn.nFileOffset > 0 ? ofn.nFileOffset - 1 : 0));
    }
    fs::path folder;
    std::string initialDir;
    char file[MAX_PATH];
    char current[MAX_PATH];
};

const DWORD saveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
const DWORD openFlags = OFN_READONLY | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

TEST_F(FileDialogs, ARussianNameSavedComesBackIn1251WithItsExtension) {
    answerWith(IDOK);
    OPENFILENAMEA ofn = dialog("\xCA\xF0\xF3\xE3", saveFlags);  // "Круг"
    ASSERT_TRUE(GetSaveFileNameA(&ofn)) << CommDlgExtendedError();
    EXPECT_EQ(answering.boxesSeen.size(), 1u);
    EXPECT_STREQ(file + ofn.nFileOffset, "\xCA\xF0\xF3\xE3.t1a");
    EXPECT_STREQ(file + ofn.nFileExtension, "t1a");
    EXPECT_TRUE(fs::equivalent(chosenFolder(ofn), folder));
}

TEST_F(FileDialogs, AnExistingFileIsOpened) {
    std::ofstream(folder / "figure.t1a") << "figure";
    answerWith(IDOK);
    OPENFILENAMEA ofn = dialog("figure.t1a", openFlags);
    ASSERT_TRUE(GetOpenFileNameA(&ofn)) << CommDlgExtendedError();
    EXPECT_STREQ(file + ofn.nFileOffset, "figure.t1a");
    EXPECT_TRUE(fs::equivalent(fs::path(file), folder / "figure.t1a"));
}

TEST_F(FileDialogs, CancelFailsTheCallWithoutAnError) {
    for (bool save : {true, false}) {
        answerWith(IDCANCEL);
        OPENFILENAMEA ofn = dialog("figure.t1a", save ? saveFlags : openFlags);
        EXPECT_FALSE(save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn)) << save;
        EXPECT_EQ(CommDlgExtendedError(), 0u) << save;
        EXPECT_EQ(answering.boxesSeen.size(), 1u) << save;
    }
}

// The program always passes the current folder: after a name chosen elsewhere, the next dialog
// opens where the user went.
TEST_F(FileDialogs, TheFirstInitialFolderGivenAgainOpensWhereTheLastNameWasChosen) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine's dialogs open in lpstrInitialDir each time; Windows (and the Linux "
                    "layer) come back to the folder last chosen when given the first one again";
#endif
    if (kvarlo::conformance::onBrowserLayer)
        GTEST_SKIP() << "the browser layer's dialogs remember no folder: the page's box lists and "
                        "names the files of the play folder, and a name its owner accepts is "
                        "taken in lpstrInitialDir each time";
    const fs::path inner = folder / "inner";
    ASSERT_TRUE(fs::create_directory(inner));
    answerWith(IDOK);
    OPENFILENAMEA ofn = dialog((inner / "first.t1a").string().c_str(), saveFlags);
    ASSERT_TRUE(GetSaveFileNameA(&ofn)) << CommDlgExtendedError();
    EXPECT_TRUE(fs::equivalent(chosenFolder(ofn), inner)) << file;

    answerWith(IDOK);
    ofn = dialog("second.t1a", saveFlags);  // the same initial folder as the first time
    ASSERT_TRUE(GetSaveFileNameA(&ofn)) << CommDlgExtendedError();
    EXPECT_TRUE(fs::equivalent(chosenFolder(ofn), inner)) << file;
    EXPECT_STREQ(file + ofn.nFileOffset, "second.t1a");
}

}  // namespace
