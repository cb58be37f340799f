// Writes a valid figure, game and solution file into the first folder given, and a few small graph
// files into the second, to start the fuzzers.
#include <cstdio>
#include <string>
#include <string_view>

#include "documents/file_format.h"

namespace {

bool write(const std::string& path, const void* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

bool write(const std::string& path, const kvarlo::FixedArray<uint8_t>& image) {
    return write(path, image.data(), image.count());
}

bool write(const std::string& path, std::string_view text) {
    return write(path, text.data(), text.size());
}

// Small graphs that use every kind of line between them; the shipped graphs join them in
// fuzz/run. One is written as Windows editors write: a byte-order mark and CRLF line ends.
bool writeGraphs(const std::string& folder) {
    return write(folder + "/row.txt",
                 "# a row of five\nslots 5\njump 0 1 2\njump 2 1 0\njump 1 2 3\njump 3 2 1\n"
                 "jump 2 3 4\njump 4 3 2\nsymmetry 4 3 2 1 0\nstart 0 1 3 4\n") &&
           write(folder + "/cycle.txt",
                 "slots 3\njump 0 1 2\njump 1 2 0\njump 2 0 1\nsymmetry 1 2 0\nstart 0 1\n") &&
           write(folder + "/places.txt",
                 "\xEF\xBB\xBF# placed\r\nslots 4\r\njump 0 1 2 # one way\r\njump 2 1 0\r\n"
                 "place 0 0\r\nplace 1 1\r\nplace 2 2 1\r\nplace 3 63 2\r\nstart 0 1\r\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kvarlo;
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds DOCUMENT_FOLDER GRAPH_FOLDER\n");
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
        write(folder + "/solution.t1c", encodeSolution(board, results, 1)) && writeGraphs(argv[2]);
    return ok ? 0 : 1;
}
