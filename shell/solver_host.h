// The solver's way to the window: the failure beep, repaints, and its timer on the main window.
#pragma once

#include "solver/control.h"

namespace kvarlo {

class WindowSolverHost final : public SolverHost {
public:
    void failureBeep() override;
    void requestRepaint() override;
    void startTicks(int32_t ms) override;
    void stopTicks() override;
};

}  // namespace kvarlo
