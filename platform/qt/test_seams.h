// Hooks for tests of the Linux layer and of the program on top of it: script the file dialogs,
// read what was played and beeped and opened and which message boxes came up, look at the
// windows and at the last frame shown.
// Linux only; the program itself never includes this.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace kvarlo::platform::testing {

// ---- File dialogs ----------------------------------------------------------------------------
// Each GetOpenFileNameA/GetSaveFileNameA first takes the oldest scripted answer, if any, instead
// of showing a dialog. A path (Windows-1251, like the program's strings) is handled as if the
// user had chosen it: the default extension is added when it has none, and an open dialog with
// OFN_FILEMUSTEXIST refuses a file that does not exist (the call fails). A cancel fails the call
// with CommDlgExtendedError() == 0. Under the offscreen platform a dialog without a scripted
// answer is cancelled at once, since a real one would wait for ever.
void answerNextFileDialog(const std::string& path);
// A name as the real dialog hands it over (UTF-8), converted to 1251 the same way: one with a
// character 1251 lacks fails the call with FNERR_INVALIDFILENAME and leaves the name in
// lpstrFile with '?' for that character.
void answerNextFileDialogUtf8(const std::string& path);
void cancelNextFileDialog();
void clearFileDialogAnswers();
size_t pendingFileDialogAnswers();

// What the program asked of the dialogs, oldest first (texts in 1251).
struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
    std::string initialDir;
    // Where the dialog opens: as on Windows, the folder of the last name chosen in a dialog when
    // initialDir is the one the process first gave, otherwise initialDir.
    std::string startFolder;
    std::string defaultExtension;
    std::string proposedName;  // lpstrFile on entry
    DWORD flags = 0;
    HWND owner = nullptr;
};
std::vector<FileDialogRequest> fileDialogLog();
void clearFileDialogLog();
// Forgets the folders the dialogs remember, as a new process would.
void forgetFileDialogFolders();

// ---- Message boxes --------------------------------------------------------------------------
// Every MessageBoxA, oldest first. Under the offscreen platform each is answered at once with its
// first button and nothing is shown.
struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string caption;  // 1251
    std::string text;     // 1251
    UINT type = 0;
};
std::vector<MessageBoxRecord> messageBoxLog();
void clearMessageBoxLog();

// ---- Sounds, beeps and the shell -------------------------------------------------------------
struct SoundEvent {
    enum class Kind { File, Resource, Stop, Beep } kind = Kind::File;
    std::string name;      // file or resource name (1251); empty for Stop and Beep
    DWORD flags = 0;       // the flags of the call, or the beep type
    bool started = false;  // the layer found something playable
};
std::vector<SoundEvent> soundLog();
void clearSoundLog();
// Real playback (QAudioSink) is on by default; tests switch it off to stay quiet.
void setAudioOutputEnabled(bool enabled);

// ShellExecuteA requests (file or address in 1251). When an answer is set, the shell is not
// asked at all and the call reports that answer; by default the desktop is asked.
std::vector<std::string> shellLog();
void clearShellLog();
void setShellAnswer(std::optional<bool> accepted);

// ---- Windows ---------------------------------------------------------------------------------
// The top-level widget (with the menu bar) and the client widget that receives the input and
// shows the frames; nullptr for an unknown handle.
QWidget* topLevelWidget(HWND window);
QWidget* clientWidget(HWND window);
// The image the window shows: what the last BitBlt to its paint surface put there.
QImage lastPresentedFrame(HWND window);
// Triggers the menu item with this command id as a click would; false when there is none.
bool triggerMenuCommand(HWND window, UINT id);
// The labels of the menu bar as Qt shows them (UTF-8), one entry per item, "-" for separators,
// pop-up contents indented by two spaces.
std::vector<std::string> menuBarLabels(HWND window);
// The dialog box of DialogBoxParamA that is open now, or nullptr.
QWidget* activeDialogWidget();
// Runs `action` with the next dialog box of DialogBoxParamA once it is shown, from inside its
// modal loop: tests close the box or act on the program there, as a user would, without timers.
void onNextDialogShown(std::function<void(QWidget*)> action);

}  // namespace kvarlo::platform::testing
