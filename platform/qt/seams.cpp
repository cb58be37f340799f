// The window side of the test seam: widgets, frames and menu commands of a window.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "platform/qt/layer.h"
#include "platform/qt/test_seams.h"

namespace kvarlo::platform::testing {

namespace {

void collect(const QList<QAction*>& actions, const std::string& indent,
             std::vector<std::string>& out) {
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            out.push_back(indent + "-");
        } else {
            out.push_back(indent + action->text().toStdString());
            if (QMenu* menu = action->menu())
                collect(menu->actions(), indent + "  ", out);
        }
    }
}

QAction* findAction(const QList<QAction*>& actions, UINT id) {
    for (QAction* action : actions) {
        if (QMenu* menu = action->menu()) {
            if (QAction* found = findAction(menu->actions(), id))
                return found;
        } else if (!action->isSeparator() && action->data().toUInt() == id) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

QWidget* topLevelWidget(HWND window) {
    Window* w = windowFromHandle(window);
    return w != nullptr ? w->top : nullptr;
}

QWidget* clientWidget(HWND window) {
    Window* w = windowFromHandle(window);
    return w != nullptr ? w->client : nullptr;
}

QImage lastPresentedFrame(HWND window) {
    Window* w = windowFromHandle(window);
    return w != nullptr ? w->screen.copy() : QImage();
}

bool triggerMenuCommand(HWND window, UINT id) {
    Window* w = windowFromHandle(window);
    if (w == nullptr || w->menuBar == nullptr)
        return false;
    QAction* action = findAction(w->menuBar->actions(), id);
    if (action == nullptr)
        return false;
    action->trigger();
    return true;
}

std::vector<std::string> menuBarLabels(HWND window) {
    std::vector<std::string> labels;
    Window* w = windowFromHandle(window);
    if (w != nullptr && w->menuBar != nullptr)
        collect(w->menuBar->actions(), "", labels);
    return labels;
}

}  // namespace kvarlo::platform::testing
