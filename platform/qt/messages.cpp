// The Qt side of the message queue: on the GUI thread a wait runs Qt's event loop until something
// arrives (woken by an event, or by a timer at the next due time), and Qt's own modal dialogs
// keep the program's messages flowing.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/qt/layer.h"

namespace kvarlo::platform {

namespace {

// Receives the wake-up events and arms the timer that ends a wait at the next timer's due time.
class Pump : public QObject {
public:
    static constexpr QEvent::Type wakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x4B56);
    QTimer deadline;
    std::atomic<bool> wakePending{false};
    int foreignModalDepth = 0;

    Pump() {
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, this, [this] { deliverIfForeignModal(); });
    }

    bool event(QEvent* e) override {
        if (e->type() == wakeEvent) {
            wakePending = false;
            deliverIfForeignModal();
            return true;
        }
        return QObject::event(e);
    }

    // Inside a Qt dialog's own loop nobody calls GetMessageA: dispatch what is ready here.
    void deliverIfForeignModal() {
        if (foreignModalDepth == 0)
            return;
        MSG msg;
        int budget = 1000;  // a window that never validates must not freeze the dialog
        while (budget-- > 0 && takeMessage(msg, nullptr, 0, 0, true)) {
            if (msg.message == WM_QUIT) {  // leave it for the main loop
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            DispatchMessageA(&msg);
        }
        armDeadline();
    }

    void armDeadline();
};

std::atomic<Pump*> pump{nullptr};

void Pump::armDeadline() {
    const auto due = nextTimerDue();
    if (!due) {
        deadline.stop();
        return;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                          *due - std::chrono::steady_clock::now())
                          .count();
    deadline.start(static_cast<int>(std::clamp<long long>(wait + 1, 0, 1 << 30)));
}

}  // namespace

bool onGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool haveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void ensurePump() {
    if (pump.load() != nullptr || !onGuiThread())
        return;
    auto* p = new Pump;
    // The pump dies with the application; a later application gets a new one.
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { pump = nullptr; });
    p->setParent(QCoreApplication::instance());
    pump = p;
}

void wakeEventLoop() {
    Pump* p = pump.load();
    if (p != nullptr && !p->wakePending.exchange(true)) {
        QCoreApplication::postEvent(p, new QEvent(Pump::wakeEvent));
    }
}

ForeignModalScope::ForeignModalScope() {
    ensurePump();
    if (Pump* p = pump.load()) {
        ++p->foreignModalDepth;
        p->armDeadline();
    }
}

ForeignModalScope::~ForeignModalScope() {
    if (Pump* p = pump.load())
        --p->foreignModalDepth;
}

void waitForWork() {
    if (!onGuiThread()) {
        waitOnQueue([] { return false; });
        return;
    }
    ensurePump();
    if (messageReady())
        return;
    if (Pump* p = pump.load())
        p->armDeadline();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void letInputIn() {
    if (onGuiThread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool onWindowThread() {
    return onGuiThread() || QCoreApplication::instance() == nullptr;
}

}  // namespace kvarlo::platform
