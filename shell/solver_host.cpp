// The solver's host over the window services.
#include "shell/solver_host.h"

#include "shell/services.h"

namespace kvarlo {

namespace {
constexpr UINT_PTR solverTimerId = 1;
}

void WindowSolverHost::failureBeep() {
    kvarlo::failureBeep();
}

void WindowSolverHost::requestRepaint() {
    kvarlo::requestRepaint();
}

void WindowSolverHost::startTicks(int32_t ms) {
    SetTimer(mainWindow, solverTimerId, static_cast<UINT>(ms), nullptr);
}

void WindowSolverHost::stopTicks() {
    KillTimer(mainWindow, solverTimerId);
}

}  // namespace kvarlo
