// The program's single instances, alive from start-up to the end of the process: the one
// board, the game on it, the window state, the solver's results and the document name.
#pragma once

#include <string>

#include "board/board.h"
#include "documents/document_name.h"
#include "game/clock.h"
#include "game/game.h"
#include "game/interface_state.h"
#include "shell/solver_host.h"
#include "solver/solver_results.h"
#include "view/board_view.h"

namespace kvarlo {

struct Program {
    Board board{7, 7};  // built before the window exists
    MoveHistory history;
    GameState game;
    WindowState window;
    SolverResults results;
    DocumentName documentName;
    BackBuffer backBuffer;
    WindowSolverHost solverHost;
    const Clock* clock = &systemClock();  // the game's time; tests may set another
};

Program& program();

// Puts every instance back to its state at program start (tests run many programs in one
// process). The solver must be idle.
void resetProgram();

// The two configured web addresses: file addresses of the installed read-me and figure
// collection by default, resolved against the program's folder when relative; from a build
// tree, where nothing is installed, the checkout's own read-me and figure page.
std::string siteAddress();
std::string productAddress();

}  // namespace kvarlo
