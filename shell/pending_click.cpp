// Pending clicks resolved on the layout of the frame about to be drawn.
#include "shell/pending_click.h"

#include "view/layout.h"

namespace kvarlo {

ClickOutcome resolvePendingClick(Board& board, MoveHistory& history, GameState& game,
                                 WindowState& window, int32_t width, int32_t height, int32_t time) {
    if (!window.showBoard || !window.clickPending) {
        return {};
    }
    window.clickPending = 0;
    const BoardLayout layout = computeLayout(width, height, board);
    EdgeRef slot{};
    if (!hitTest(board, window.mouseX, window.mouseY, layout, window.mode == AppMode::Editor,
                 slot)) {
        return {};
    }
    return processClick(board, history, game, window.mode, slot, time);
}

}  // namespace kvarlo
