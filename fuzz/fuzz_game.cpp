// Fuzzes the game loader, then steps through the loaded history as the player can.
#include <string>

#include "documents/file_format.h"
#include "fuzz_check.h"
#include "game/game.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvarlo;
    Board board(7, 7);
    GameContents contents;
    std::string reason;
    if (!decodeGame({data, size}, board, contents, reason)) {
        return 0;
    }
    MoveHistory history;
    GameState state;
    installGame(contents, board, history, state, 0);
    fuzz::expectSameImage(encodeGame(board, history, state, contents.header.createdTime), data,
                          size);
    // Undo and redo index the board with the loaded records.
    goToMove(board, history, 0);
    goToMove(board, history, history.total);
    undoMove(board, history);
    return 0;
}
