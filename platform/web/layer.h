// Shared internals of the browser layer. The program runs on a thread of its own (a worker),
// where GetMessageA may block as on Windows; the page's main thread owns the document and
// talks to it only through the queue (input, menu commands, answers of boxes) and the page
// calls below, which run there and return when done.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/input.h"
#include "platform/core/resources.h"
#include "platform/core/waiting_box.h"
#include "platform/core/window.h"
#include "platform/win32.h"

namespace kvarlo::platform {

// ---- Menus ---------------------------------------------------------------------------------
// The menu as the page builds its bar from it: JSON, texts in UTF-8.
std::string menuJson(const Menu& menu);

// ---- Windows ---------------------------------------------------------------------------------
// A window: a canvas in the page; a dialog box is shown by the page and driven from the program's
// thread.
struct Window : WindowRecord {
    Rect clientArea() const override { return Rect{0, 0, width, height}; }
    void makeFrame(HICON icon, int x, int y, int outerWidth, int outerHeight) override;
    void showFrame(int showCommand, bool wasVisible) override;
    void destroyFrame() override;
    void titleChanged() override;
    void present() override;
    void mnemonicTyped(char letter) override;
    std::optional<POINT> clientOrigin() const override;

    int width = 1, height = 1;     // the client area: the canvas
    std::vector<uint32_t> screen;  // what the canvas shows, 0x00RRGGBB per pixel, top-down
};

// The live window behind a handle, or nullptr.
Window* windowFromHandle(HWND window);

// ---- Messages --------------------------------------------------------------------------------
// Runs the program's messages until `done` holds (checked under the queue's lock); false when
// WM_QUIT came first (it is put back for the main loop).
bool runModalLoop(const bool& done);

// ---- Answers from the page -------------------------------------------------------------------
// A box or dialog the page shows; the page answers it by its number with a value and a text.
struct PageAnswer {
    bool done = false;
    int value = 0;
    std::string text;  // UTF-8
};
// A new pending answer and its number, for the page to send back.
int expectAnswer();
// Waits (running the program's messages) for the page's answer; nullopt-like: done false when
// the program quit meanwhile.
PageAnswer awaitAnswer(int number);
// Answers a pending box from the program's side (its owner pressed a button); false when it
// was answered already.
bool giveAnswer(int number, int value, const std::string& utf8Text);

// ---- Boxes their owner can answer --------------------------------------------------------------
// A message box or file dialog the page shows, as a window of its own: it deactivates its owner
// as it comes, a WM_COMMAND with one of its buttons posted to it answers it as the button would
// (`answerFor` gives what each button answers, and the page's box closes), and the owner is
// active again once it has gone. Waits, running the program's messages, for the page's or the
// owner's answer to the pending answer `number`.
PageAnswer waitForBox(HWND owner, int number, std::vector<int> buttons,
                      std::function<PageAnswer(int button)> answerFor);

// ---- Text ------------------------------------------------------------------------------------
std::string toUtf8(const char* ansi, int length = -1);

// ---- Files -----------------------------------------------------------------------------------
// The folder the page keeps in the browser's storage: the play folder.
inline constexpr const char* playFolder = "/play";
// Writes the play folder to the browser's storage (after a save); returns at once.
void persistPlayFolder();
// Offers a file the program has written as a download under its name.
void offerDownload(const std::string& utf8Path);
// A file a save dialog named: once the program has written it, the page offers it as a
// download and the play folder goes back to the browser's storage.
void noteSaveTarget(const std::string& utf8Path);
// Delivers the saves that are complete; the program's thread calls it before it waits.
void deliverFinishedSaves();

}  // namespace kvarlo::platform
