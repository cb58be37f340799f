// The status panel as data: every line of text the panel draws, with its position and colour.
// Composing the lines apart from drawing them lets tests read exactly what the player sees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "game/game.h"
#include "game/interface_state.h"
#include "solver/solver_results.h"

namespace kvarlo {

inline constexpr uint32_t textColour = 0x505050;     // COLORREF 0x00BBGGRR: dark grey
inline constexpr uint32_t dimTextColour = 0x808080;  // mid grey

struct StatusLine {
    int32_t x;
    int32_t y;  // top of the text
    uint32_t colour;
    std::string text;  // Windows-1251
};

// What the panel shows for the current mode, in drawing order. The game's time is shown as
// `elapsedSeconds` holds it: the paint handler brings it up to date before it draws.
std::vector<StatusLine> composeStatus(const Board& board, const WindowState& window,
                                      const MoveHistory& history, const GameState& state,
                                      const SolverResults& results, int32_t busy,
                                      int32_t clientHeight);

// The solver's statistics block at (x, base + 32) and below, spectrum and summary included.
std::vector<StatusLine> composeSolverStats(const SolverResults& results, int32_t statsColumnMode,
                                           int32_t x, int32_t base);

}  // namespace kvarlo
