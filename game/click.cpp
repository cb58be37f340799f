// Click handling. Kept apart from the history so that only what resolves clicks needs the
// sound service.
#include "game/click.h"

#include "game/clock.h"
#include "shell/sound.h"

namespace kvarlo {

namespace {

void gameClick(Board& board, MoveHistory& history, GameState& state, EdgeRef ref) {
    EdgeSlot& s = board.slot(ref);
    if (s.selected) {
        board.deselect();
        board.clearTargets();
    } else if (s.movable) {
        board.deselect();
        board.clearTargets();
        s.selected = 1;
        markTargets(board, ref.node, ref.direction);
    } else if (s.target) {
        if (history.current >= historyCapacity) {
            return;  // unreachable on the 7 x 7 board; the history must never overflow
        }
        const std::optional<MoveRecord> move = performJump(board, ref);
        if (!move) {
            return;
        }
        history.records[history.current] = *move;
        ++history.current;
        history.total = history.current;
        state.gameOver = 0;
        playFileSound("explosio.wav", false);
    }
}

}  // namespace

void processClick(Board& board, MoveHistory& history, GameState& state, WindowState& window,
                  const BoardLayout& layout) {
    const bool pending = window.clickPending != 0;
    window.rightClickPending = 0;
    window.clickPending = 0;
    if (!pending) {
        return;
    }

    EdgeRef ref{0, 0};
    if (!hitTest(board, window.mouseX, window.mouseY, layout, window.mode == AppMode::Editor,
                 ref)) {
        return;
    }

    switch (window.mode) {
        case AppMode::Editor: {
            EdgeSlot& s = board.slot(ref);
            s.hasMatch = s.exists ? !s.hasMatch : 0;
            break;
        }
        case AppMode::Game:
            gameClick(board, history, state, ref);
            break;
        case AppMode::Solver:
            break;
    }

    if (state.gameOver == 0 && board.countMovable() == 0) {
        state.gameOver = 1;
        state.elapsedSeconds = calendarSeconds() - state.startTime;
    }
}

}  // namespace kvarlo
