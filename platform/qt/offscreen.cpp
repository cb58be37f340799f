// The off-screen drawing session on Linux: a QGuiApplication without a display.
#include "platform/offscreen.h"

#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

namespace kvarlo::platform {

namespace {

QtMessageHandler earlierHandler = nullptr;

// Qt's messages less one: without XDG_RUNTIME_DIR (root, a cron job, CI) Qt warns on every
// start that it uses a folder in /tmp instead. The drawing needs no runtime folder at all, and
// a tool that file managers call for every thumbnail must not litter their logs with it.
void withoutRuntimeDirNoise(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    if (earlierHandler != nullptr) {
        earlierHandler(type, context, message);
    }
}

}  // namespace

struct OffscreenDrawing::Application {
    // QGuiApplication keeps references to both for its whole life.
    int argc = 1;
    char name[11] = "kvarlo-cli";
    char* argv[2] = {name, nullptr};
    QGuiApplication application{argc, argv};
};

OffscreenDrawing::OffscreenDrawing() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A second session in the process must not make the filter its own fallback.
    const QtMessageHandler previous = qInstallMessageHandler(withoutRuntimeDirNoise);
    if (previous != withoutRuntimeDirNoise) {
        earlierHandler = previous;
    }
    application_ = std::make_unique<Application>();
}

OffscreenDrawing::~OffscreenDrawing() = default;

}  // namespace kvarlo::platform
