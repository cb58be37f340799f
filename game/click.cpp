// Click handling: the meaning of a click on a slot in each mode.
#include "game/click.h"

namespace kvarlo {

namespace {

// The sound of a jump.
constexpr char jumpSound[] = "explosio.wav";

ClickOutcome gameClick(Board& board, MoveHistory& history, GameState& state, EdgeRef ref) {
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
            return {};  // unreachable on the 7 x 7 board; the history must never overflow
        }
        const std::optional<MoveRecord> move = performJump(board, ref);
        if (!move) {
            return {};
        }
        history.records[history.current] = *move;
        ++history.current;
        history.total = history.current;
        state.gameOver = 0;
        return ClickOutcome{true, jumpSound};
    }
    return {};
}

}  // namespace

ClickOutcome processClick(Board& board, MoveHistory& history, GameState& state, AppMode mode,
                          EdgeRef slot, int32_t now) {
    ClickOutcome outcome;
    switch (mode) {
        case AppMode::Editor: {
            EdgeSlot& s = board.slot(slot);
            s.hasMatch = s.exists ? !s.hasMatch : 0;
            break;
        }
        case AppMode::Game:
            outcome = gameClick(board, history, state, slot);
            break;
        case AppMode::Solver:
            break;
    }

    if (state.gameOver == 0 && board.countMovable() == 0) {
        state.gameOver = 1;
        state.elapsedSeconds = now - state.startTime;
    }
    return outcome;
}

}  // namespace kvarlo
