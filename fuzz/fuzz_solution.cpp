// Fuzzes the solution loader: counts, best moves and spectrum must stay within their arrays.
#include <string>

#include "documents/file_format.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvarlo;
    Board board(7, 7);
    SolutionContents contents;
    std::string reason;
    if (!decodeSolution({data, size}, board, contents, reason)) {
        return 0;
    }
    SolverResults results;
    installSolution(contents, board, results);
    fuzz::expectSameImage(encodeSolution(board, results, contents.header.createdTime), data, size);
    return 0;
}
