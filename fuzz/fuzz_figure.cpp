// Fuzzes the figure loader: any bytes either load or are refused, never a crash or a stray read.
#include <string>

#include "board/moves.h"
#include "documents/file_format.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvarlo;
    Board board(7, 7);
    FigureContents contents;
    std::string reason;
    if (!decodeFigure({data, size}, board, contents, reason)) {
        return 0;
    }
    installFigure(contents, board);
    fuzz::expectSameImage(encodeFigure(board, contents.header.createdTime), data, size);
    // What the program does next with a loaded figure: a new game recomputes the marks.
    recomputeMovable(board);
    return 0;
}
