// Writes a valid figure, game and solution file into the folder given, to start the fuzzers.
#include <cstdio>
#include <string>

#include "documents/file_format.h"

namespace {

bool write(const std::string& path, const kvarlo::FixedArray<uint8_t>& image) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool ok = std::fwrite(image.data(), 1, image.count(), file) == image.count();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kvarlo;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    Board board(7, 7);
    for (int32_t d = 0; d < 3; ++d) {
        board.nodes[24].edges[d].hasMatch = 1;
    }
    board.nodes[17].edges[1].hasMatch = 1;
    MoveHistory history;
    history.records[0] = MoveRecord{{24, 0}, {31, 0}, {24, 1}};
    history.records[1] = MoveRecord{{31, 0}, {30, 0}, {24, 2}};
    history.total = 2;
    history.current = 1;
    SolverResults results;
    results.status = 2;
    results.bestCount = 2;
    results.spectrumCount = 5;
    results.bestSolution[0] = history.records[0];
    results.bestSolution[1] = history.records[1];
    results.spectrum[2] = 7;
    const bool ok =
        write(folder + "/figure.t1a", encodeFigure(board, 1)) &&
        write(folder + "/game.t1b", encodeGame(board, history, GameState{4, 0, 9, 0}, 1)) &&
        write(folder + "/solution.t1c", encodeSolution(board, results, 1));
    return ok ? 0 : 1;
}
