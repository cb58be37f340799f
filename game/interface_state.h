// The interface state, kept beside the game: the mode, the display switches and the pending
// mouse click. The window procedure records presses in it; the paint handler resolves the click
// before it draws.
#pragma once

#include <cstdint>

namespace kvarlo {

enum class AppMode : int32_t { Editor = 0, Game = 1, Solver = 2 };

struct WindowState {
    AppMode mode = AppMode::Editor;
    uint8_t showBoard = 1;        // paints draw the board
    uint8_t showStats = 1;        // the status panel shows the solver statistics
    int32_t statsColumnMode = 1;  // spectrum's second column: 0 none, 1 difficulty, 2 share
    int32_t clickPending = 0;     // a left press waits for the next paint that draws the board
    int32_t mouseX = 0;           // client coordinates of the last press
    int32_t mouseY = 0;
};

}  // namespace kvarlo
