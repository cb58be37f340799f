// Shared internals of the Linux layer: windows, menus, the message queue and the one place where
// Windows-1251 meets Qt's Unicode.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/input.h"
#include "platform/core/resources.h"
#include "platform/core/waiting_box.h"
#include "platform/core/window.h"
#include "platform/win32.h"

class QMenuBar;
class QDialog;

namespace kvarlo::platform {

// ---- Text ------------------------------------------------------------------------------------
// A 1251 string as Qt text; length -1 means up to the terminator.
QString fromAnsi(const char* text, int length = -1);
// Qt text as 1251, or nothing when 1251 cannot represent it.
std::optional<std::string> toAnsi(const QString& text);
// Qt text as 1251 with '?' for each character 1251 lacks: for texts only shown, never a path.
std::string toAnsiLossy(const QString& text);

// ---- Application -----------------------------------------------------------------------------
// True when a QApplication exists and the caller runs on its thread.
bool onGuiThread();
// True when a QApplication (with widgets) exists at all.
bool haveWidgets();
// Once the QApplication exists: numbers in the C locale, Qt's own texts in the user's language.
void adoptDesktopLocale();

// ---- Windows ---------------------------------------------------------------------------------
struct Window : WindowRecord {
    Rect clientArea() const override;
    void makeFrame(HICON icon, int x, int y, int outerWidth, int outerHeight) override;
    void showFrame(int showCommand, bool wasVisible) override;
    void hideFrame() override;
    void destroyFrame() override;
    void titleChanged() override;
    void present() override;
    std::optional<POINT> clientOrigin() const override;

    QWidget* top = nullptr;     // the frame: menu bar above the client widget
    QWidget* client = nullptr;  // takes the input and shows `screen`
    QMenuBar* menuBar = nullptr;
    QImage screen;                 // what the window shows; the paint surface draws here
    QDialog* dialogBox = nullptr;  // a dialog box (DialogBoxParamA) while it is up
};

// The live window behind a handle, or nullptr; GUI thread only.
Window* windowFromHandle(HWND window);
QSize clientSize(const Window& window);

// ---- Messages --------------------------------------------------------------------------------
// Sets up the waker object on the GUI thread; harmless to call again.
void ensurePump();
// Modal Qt dialogs that are not ours (the file dialogs) keep our messages flowing while they run.
struct ForeignModalScope {
    ForeignModalScope();
    ~ForeignModalScope();
};

// ---- Boxes the program waits on ---------------------------------------------------------------
// With a box on screen: the owner is told once the box's own loop runs, and an answer ends the
// box through `close`.
void tellOwnerWhenShown(WaitingBox& waiting, QObject& box, std::function<void(int)> close);

}  // namespace kvarlo::platform
