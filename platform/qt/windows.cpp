// Window classes and windows: a Qt top-level widget with the menu bar above a client widget
// that shows the frames the program paints and turns Qt's input into window messages.
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "platform/qt/input.h"
#include "platform/qt/layer.h"
#include "platform/qt/resources.h"

namespace kvarlo::platform {

namespace {

// wasDown: the key was down before this message (bit 30), as for every key-up and repeat.
LPARAM keyParam(const QKeyEvent& event, bool release, bool alt, bool wasDown) {
    DWORD param = 1;  // repeat count
    param |= (event.nativeScanCode() & 0xFF) << 16;
    const int key = event.key();
    const bool extended = (event.modifiers() & Qt::KeypadModifier)
                              ? key == Qt::Key_Enter || key == Qt::Key_Slash
                              : key == Qt::Key_Insert || key == Qt::Key_Delete ||
                                    key == Qt::Key_Home || key == Qt::Key_End ||
                                    key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
                                    (key >= Qt::Key_Left && key <= Qt::Key_Down);
    if (extended)
        param |= 1u << 24;
    if (alt)
        param |= 1u << 29;
    if (release || wasDown)
        param |= 1u << 30;
    if (release)
        param |= 1u << 31;
    return static_cast<LPARAM>(param);
}

WPARAM mouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (modifiers & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        keys |= MK_CONTROL;
    return keys;
}

POINT screenPoint(QPoint at) {
    return POINT{at.x(), at.y()};
}

class ClientWidget : public QWidget {
public:
    ClientWidget(Window& window, QWidget* parent) : QWidget(parent), window_(window) {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        releaseTimer_.setSingleShot(true);
        releaseTimer_.setInterval(releaseWait);
        QObject::connect(&releaseTimer_, &QTimer::timeout, this, [this] { flushRelease(); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, window_.screen);
    }

    void resizeEvent(QResizeEvent*) override {
        if (window_.screen.size() == size())
            return;
        QImage screen(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        screen.fill(Qt::white);
        QPainter(&screen).drawImage(0, 0, window_.screen);
        window_.screen = screen;
        invalidateWindow(window_, nullptr, true);  // every size change repaints the whole client
    }

    void keyPressEvent(QKeyEvent* event) override { key(*event, false); }
    void keyReleaseEvent(QKeyEvent* event) override { key(*event, true); }

    bool event(QEvent* event) override {
        // Qt offers a key to the shortcuts (the menu bar's mnemonics among them) before the
        // widget sees it. On Windows the program's accelerators come first: a key they take
        // is claimed here, so Alt+"?" is the About command and not the "&?" menu.
        if (event->type() == QEvent::ShortcutOverride) {
            auto& keyEvent = static_cast<QKeyEvent&>(*event);
            const Qt::KeyboardModifiers modifiers = keyEvent.modifiers();
            for (const MSG& message : keyMessages(keyEvent, false)) {
                if (acceleratorTakes(message, (modifiers & Qt::ShiftModifier) != 0,
                                     (modifiers & Qt::ControlModifier) != 0)) {
                    event->accept();
                    return true;
                }
            }
        }
        return QWidget::event(event);
    }

    void mousePressEvent(QMouseEvent* event) override { button(*event, false); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { button(*event, false); }
    void mouseReleaseEvent(QMouseEvent* event) override { button(*event, true); }
    void mouseMoveEvent(QMouseEvent* event) override {
        setCursorPosition(screenPoint(event->globalPosition().toPoint()));
    }

private:
    // The window messages of a key event, in the order Windows sends them: the key message, then
    // the characters it types. Modifier keys alone give none.
    std::vector<MSG> keyMessages(const QKeyEvent& event, bool release) const {
        std::vector<MSG> messages;
        const int qtKey = event.key();
        if (isModifierOnly(qtKey))
            return messages;
        const bool alt = (event.modifiers() & Qt::AltModifier) != 0;
        const int vk = virtualKeyFor(qtKey, (event.modifiers() & Qt::KeypadModifier) != 0);
        const HWND hwnd = handleOf(&window_);
        const bool wasDown = event.isAutoRepeat() || (vk != 0 && (GetKeyState(vk) & 0x8000) != 0);
        const LPARAM param = keyParam(event, release, alt, wasDown);
        if (vk != 0) {
            const UINT message =
                release ? (alt ? WM_SYSKEYUP : WM_KEYUP) : (alt ? WM_SYSKEYDOWN : WM_KEYDOWN);
            messages.push_back(MSG{hwnd, message, static_cast<WPARAM>(vk), param, 0, {}});
        }
        if (!release) {
            for (char c : characterText(qtKey, event.modifiers(), event.text())) {
                messages.push_back(MSG{hwnd,
                                       static_cast<UINT>(alt ? WM_SYSCHAR : WM_CHAR),
                                       static_cast<unsigned char>(c),
                                       param,
                                       0,
                                       {}});
            }
        }
        return messages;
    }

    // A held key repeats as key-downs (with the repeat bit) and is released once, at the end, as
    // on Windows. X sends each auto-repeat as a release and a press of the same server time; Qt
    // marks the pair as a repeat only when both had arrived together, so a release waits a moment
    // for the press that would make it half of a repeat, and is posted when none comes.
    void key(QKeyEvent& event, bool release) {
        event.accept();
        if (release && event.isAutoRepeat())
            return;
        if (pendingRelease_.has_value()) {
            const bool repeat = !release && event.key() == pendingRelease_->key &&
                                event.timestamp() == pendingRelease_->timestamp;
            if (repeat) {
                pendingRelease_.reset();  // the key never went up
                releaseTimer_.stop();
            } else {
                flushRelease();
            }
        }
        const Qt::KeyboardModifiers modifiers = event.modifiers();
        setKeyDown(VK_SHIFT, (modifiers & Qt::ShiftModifier) != 0);
        setKeyDown(VK_CONTROL, (modifiers & Qt::ControlModifier) != 0);
        setKeyDown(VK_MENU, (modifiers & Qt::AltModifier) != 0);
        std::vector<MSG> messages = keyMessages(event, release);
        // Only the window system's events carry a time; made-up ones never repeat.
        if (release && event.timestamp() != 0) {
            if (messages.empty())
                return;
            pendingRelease_ = PendingRelease{event.key(), event.timestamp(), std::move(messages)};
            releaseTimer_.start();
            return;
        }
        post(messages);
    }

    void flushRelease() {
        if (!pendingRelease_.has_value())
            return;
        releaseTimer_.stop();
        const std::vector<MSG> messages = std::move(pendingRelease_->messages);
        pendingRelease_.reset();
        post(messages);
    }

    void post(const std::vector<MSG>& messages) {
        for (const MSG& message : messages) {
            const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
            const bool up = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
            if (down || up)
                setKeyDown(static_cast<int>(message.wParam), down);
            PostMessageA(message.hwnd, message.message, message.wParam, message.lParam);
        }
    }

    void button(QMouseEvent& event, bool release) {
        setCursorPosition(screenPoint(event.globalPosition().toPoint()));
        UINT message = 0;
        if (event.button() == Qt::LeftButton)
            message = release ? WM_LBUTTONUP : WM_LBUTTONDOWN;
        if (event.button() == Qt::RightButton)
            message = release ? WM_RBUTTONUP : WM_RBUTTONDOWN;
        if (message == 0)
            return;
        const QPoint at = event.position().toPoint();
        PostMessageA(handleOf(&window_), message, mouseKeys(event.buttons(), event.modifiers()),
                     MAKELPARAM(at.x(), at.y()));
    }

    // How long a release waits for the press of an auto-repeat: the two leave the X server
    // together, so this only has to cover their delivery, never a person's typing.
    static constexpr int releaseWait = 60;  // ms
    struct PendingRelease {
        int key;
        quint64 timestamp;
        std::vector<MSG> messages;
    };
    std::optional<PendingRelease> pendingRelease_;
    QTimer releaseTimer_;
    Window& window_;
};

class TopWidget : public QWidget {
public:
    explicit TopWidget(Window& window) : window_(window) {}

protected:
    void resizeEvent(QResizeEvent*) override { layoutChildren(); }

    void closeEvent(QCloseEvent* event) override {
        // The close box asks the window; its procedure decides (DefWindowProcA destroys it).
        event->ignore();
        PostMessageA(handleOf(&window_), WM_CLOSE, 0, 0);
    }

public:
    void layoutChildren() {
        int menuHeight = 0;
        if (window_.menuBar != nullptr) {
            menuHeight = window_.menuBar->heightForWidth(width());
            if (menuHeight <= 0)
                menuHeight = window_.menuBar->sizeHint().height();
            window_.menuBar->setGeometry(0, 0, width(), menuHeight);
        }
        if (window_.client != nullptr)
            window_.client->setGeometry(0, menuHeight, width(), std::max(0, height() - menuHeight));
    }

private:
    Window& window_;
};

void buildMenu(QMenu* into, QMenuBar* bar, const Menu& menu, HWND hwnd) {
    for (const MenuItem& item : menu.items) {
        switch (item.kind) {
            case MenuItem::Kind::Separator:
                if (into != nullptr)
                    into->addSeparator();
                break;
            case MenuItem::Kind::Popup: {
                QMenu* popup = into != nullptr ? into->addMenu(fromAnsi(item.text.c_str()))
                                               : bar->addMenu(fromAnsi(item.text.c_str()));
                if (item.popup != nullptr)
                    buildMenu(popup, nullptr, *item.popup, hwnd);
                break;
            }
            case MenuItem::Kind::Item: {
                QAction* action = into != nullptr ? into->addAction(fromAnsi(item.text.c_str()))
                                                  : bar->addAction(fromAnsi(item.text.c_str()));
                action->setData(item.id);
                const UINT id = item.id;
                // Posted rather than called: the procedure never runs inside Qt's menu handling.
                QObject::connect(action, &QAction::triggered, [hwnd, id] {
                    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
                });
                break;
            }
        }
    }
}

}  // namespace

Rect Window::clientArea() const {
    const QSize size = clientSize(*this);
    return Rect{0, 0, size.width(), size.height()};
}

QSize clientSize(const Window& window) {
    if (window.client != nullptr)
        return window.client->size();
    return window.screen.size();
}

WindowRecord* newLayerWindow() {
    return new Window;
}

Window* windowFromHandle(HWND window) {
    // Every window the queue holds was made by this layer.
    return static_cast<Window*>(windowRecord(window));
}

void Window::present() {
    if (client != nullptr)
        client->update();
}

namespace {

// The window's widgets: the frame with its title and icon, the menu bar when there is a menu,
// and the client area.
void buildFrame(Window& window, HICON classIcon) {
    auto* top = new TopWidget(window);
    window.top = top;
    top->setWindowTitle(fromAnsi(window.title.c_str()));
    if (classIcon != nullptr) {
        const QIcon icon = iconFromHandle(classIcon);
        if (!icon.isNull())
            top->setWindowIcon(icon);
    }
    if (window.menu != nullptr) {
        window.menuBar = new QMenuBar(top);
        buildMenu(nullptr, window.menuBar, *window.menu, handleOf(&window));
    }
    window.client = new ClientWidget(window, top);
}

// The outer size is what the program asks for; the menu bar comes out of the client area, whose
// screen starts white.
void placeFrame(Window& window, int x, int y, int width, int height) {
    window.top->resize(std::max(width, 1), std::max(height, 1));
    if (x != CW_USEDEFAULT)
        window.top->move(x, y);
    static_cast<TopWidget*>(window.top)->layoutChildren();
    window.screen = QImage(clientSize(window).expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    window.screen.fill(Qt::white);
}

}  // namespace

bool mayMakeWindows() {
    if (!haveWidgets() || !onGuiThread())  // windows need the QApplication's thread
        return false;
    ensurePump();
    return true;
}

void Window::makeFrame(HICON icon, int x, int y, int outerWidth, int outerHeight) {
    buildFrame(*this, icon);
    placeFrame(*this, x, y, outerWidth, outerHeight);
}

void Window::showFrame(int showCommand, bool wasVisible) {
    if (top == nullptr)
        return;
    if (showCommand == SW_HIDE) {
        top->hide();
        return;
    }
    if (showCommand == SW_SHOWMAXIMIZED) {
        top->showMaximized();
    } else if (showCommand == SW_SHOWMINIMIZED) {
        top->showMinimized();
    } else {
        top->show();
    }
    if (client != nullptr)
        client->setFocus();
    const QString platform = QGuiApplication::platformName();
    const bool realDesktop =
        platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    if (!wasVisible && realDesktop) {
        // A window manager adds a frame around the widget (and tells its size a little later):
        // keep the outer size as asked. Headless platforms only pretend to have frames.
        QPointer<QWidget> frame = top;
        QTimer::singleShot(200, frame, [frame] {
            const QSize border = frame->frameGeometry().size() - frame->geometry().size();
            if (!border.isEmpty() && border != QSize(0, 0))
                frame->resize(frame->size() - border);
        });
    }
}

void Window::hideFrame() {
    if (top != nullptr)
        top->hide();
}

void Window::destroyFrame() {
    if (!dialog)
        delete top;  // takes the menu bar and the client widget with it
}

void Window::titleChanged() {
    if (top != nullptr)
        top->setWindowTitle(fromAnsi(title.c_str()));
}

std::optional<POINT> Window::clientOrigin() const {
    if (client == nullptr)
        return std::nullopt;
    const QPoint origin = client->mapToGlobal(QPoint(0, 0));
    return POINT{origin.x(), origin.y()};
}

}  // namespace kvarlo::platform
