// The wide wrapper of the save dialog (platform/windows/wide_calls.cpp), in the real dialog
// answered by a second thread as a user would (a name typed, OK pressed), under an English
// locale: a name 1251 cannot hold is refused, never changed, and left for the program's own
// message; the layer shows none. Typing a name needs the wide calls, which the program's subset
// does not have, so this stays beside tests/conformance/.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "support/test_files.h"

namespace {

// The file name box of the Explorer-style dialogs.
constexpr int fileNameBox = 0x47c;
// The text of a message box.
constexpr int messageText = 0xFFFF;

// A visible dialog of the thread other than `except`, once one appears (up to about 20 s, or
// until `stop` is set).
HWND waitForDialog(DWORD thread, HWND except, const std::atomic<bool>* stop = nullptr) {
    struct Search {
        HWND except;
        HWND found;
    };
    for (int attempt = 0; attempt < 200; ++attempt) {
        Search search{except, nullptr};
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM data) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(data);
                wchar_t className[16] = {};
                GetClassNameW(window, className, 16);
                if (window == s.except || !IsWindowVisible(window) ||
                    std::wstring(className) != L"#32770") {
                    return TRUE;
                }
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        if (stop != nullptr && stop->load())
            return nullptr;
        Sleep(100);
    }
    return nullptr;
}

std::wstring textOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// What the answering thread saw: whether it typed the name, and any message box that followed.
struct Answer {
    bool typed = false;
    std::wstring messageCaption;
    std::wstring message;
    std::atomic<bool> dialogReturned{false};
};

// Types `name` into the dialog the calling thread is about to open and presses OK; when
// `watchForMessage`, then reads and closes a message box that follows, until the dialog call
// has returned.
std::thread answerDialog(const std::wstring& name, bool watchForMessage, Answer& answer) {
    const DWORD thread = GetCurrentThreadId();
    return std::thread([=, &answer] {
        HWND dialog = waitForDialog(thread, nullptr);
        if (dialog == nullptr)
            return;
        answer.typed = SetDlgItemTextW(dialog, fileNameBox, name.c_str()) != FALSE;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        if (!watchForMessage)
            return;
        HWND box = waitForDialog(thread, dialog, &answer.dialogReturned);
        if (box == nullptr)
            return;
        answer.messageCaption = textOf(box);
        answer.message = textOf(GetDlgItem(box, messageText));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
}

class SaveDialog : public ::testing::Test {
protected:
    kvarlo::testing::TestFolder folder{"kvarlo-dialog"};
    char name[256] = "proposed";
    std::string initialDir = folder.path().string();
    OPENFILENAMEA ofn{};

    void SetUp() override {
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFilter = "Map Files\0*.t1a\0Any Files\0*.*\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = name;
        ofn.nMaxFile = sizeof name;
        ofn.lpstrInitialDir = initialDir.c_str();
        ofn.lpstrTitle = "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC";  // "Сохранить"
        ofn.lpstrDefExt = "t1a";
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    }
};

// The program says why in a message of its own; the layer only leaves it the name to show.
TEST_F(SaveDialog, ANameOutside1251IsRefusedWithoutAMessageAndLeftSpelledWithAQuestionMark) {
    Answer answer;
    std::thread user = answerDialog(L"J\u00f6rg.t1a", true, answer);
    const BOOL chosen = GetSaveFileNameA(&ofn);
    answer.dialogReturned = true;
    user.join();
    ASSERT_TRUE(answer.typed);
    EXPECT_FALSE(chosen);
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_INVALIDFILENAME));
    EXPECT_EQ(answer.messageCaption, L"") << "the layer showed a message box";
    const std::string left = name;
    ASSERT_GE(left.size(), 9u);
    EXPECT_EQ(left.substr(left.size() - 9), "\\J?rg.t1a");
}

}  // namespace
