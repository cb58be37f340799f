// The three document files (figure, game, solution): their header and layouts, the image a save
// writes, and the checked reading of an image into records that a caller then installs.
//
// Every reader parses into a temporary and checks all of it before anything is installed, so a
// refused file changes nothing. Each refusal comes with a short English reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "board/board.h"
#include "board/fixed_array.h"
#include "board/moves.h"
#include "game/game.h"
#include "solver/solver_results.h"

namespace kvarlo {

// A solution's best sequence is replayed in the game, and both files lay out the same room.
static_assert(solverCapacity == historyCapacity);

// The first word of every document file.
enum class DocumentKind : uint32_t {
    Solution = 2,
    Figure = 3,
    Game = 4,
};

// "figure", "game", "solution", or "unknown" for any other code.
const char* documentKindName(uint32_t kind);

// The first 36 bytes of every document file:
//   0 kind  4 reserved  8 createdTime  12 spare[4]  28 width  32 height
struct FileHeader {
    uint32_t kind = 0;
    uint32_t reserved = 0;     // written 0, ignored on reading
    uint32_t createdTime = 0;  // calendar seconds when the save began; ignored on reading
    uint32_t spare[4] = {};    // written 0, ignored on reading
    int32_t width = 0;
    int32_t height = 0;
};

inline constexpr size_t fileHeaderSize = 36;
inline constexpr size_t nodeRecordSize = 18;
inline constexpr size_t moveRecordSize = 9;
inline constexpr size_t spectrumEntrySize = 8;
// Where the node records begin: after the header, and after the game's five counters or the
// solution's ten words.
inline constexpr size_t figureHeadSize = fileHeaderSize;
inline constexpr size_t gameHeadSize = 56;
inline constexpr size_t solutionHeadSize = 76;

// Exact file sizes for given counts, as 64-bit sums that never wrap.
int64_t figureFileSize(int32_t nodeCount);
int64_t gameFileSize(int32_t nodeCount, int64_t total);
int64_t solutionFileSize(int32_t nodeCount, int64_t bestCount, int64_t spectrumCount);

// The most bytes an open reads for each kind: the largest file of that kind. Anything past it is
// never looked at, so a longer file is judged by its first bytes alone.
size_t maxReadSize(DocumentKind kind, int32_t nodeCount);

// The kind word of an image (0 when it has fewer than four bytes).
uint32_t peekKind(std::span<const uint8_t> bytes);

struct FigureContents {
    FileHeader header;
    FixedArray<Node> nodes{0};
};

struct GameContents {
    FileHeader header;
    GameState state;      // startTime is not stored; the install sets it
    MoveHistory history;  // records from `total` on are zero and never installed
    FixedArray<Node> nodes{0};
};

struct SolutionContents {
    FileHeader header;
    SolverResults results;  // arrays past their counts are zero and never installed
    FixedArray<Node> nodes{0};
};

// The images a save writes, exactly sized. createdTime goes into the header as given.
FixedArray<uint8_t> encodeFigure(const Board& board, uint32_t createdTime);
FixedArray<uint8_t> encodeGame(const Board& board, const MoveHistory& history,
                               const GameState& state, uint32_t createdTime);
FixedArray<uint8_t> encodeSolution(const Board& board, const SolverResults& results,
                                   uint32_t createdTime);

// Read what an open received (at most maxReadSize bytes are considered) for a board of this
// width and height. True with `out` filled when every check passes; otherwise false, `out`
// unspecified and `reason` saying why.
bool decodeFigure(std::span<const uint8_t> bytes, const Board& board, FigureContents& out,
                  std::string& reason);
bool decodeGame(std::span<const uint8_t> bytes, const Board& board, GameContents& out,
                std::string& reason);
bool decodeSolution(std::span<const uint8_t> bytes, const Board& board, SolutionContents& out,
                    std::string& reason);

// Install checked contents. The board must be the one they were decoded for.
// The figure replaces the node array only.
void installFigure(const FigureContents& contents, Board& board);
// The game replaces the node array, the counters and history records 0 .. total - 1; the clock
// goes on from the saved time: startTime = now - elapsedSeconds.
void installGame(const GameContents& contents, Board& board, MoveHistory& history, GameState& state,
                 int32_t now);
// The solution replaces the node array, every scalar of the results and both arrays up to their
// counts; entries past the counts keep their values.
void installSolution(const SolutionContents& contents, Board& board, SolverResults& results);

// Decode into a temporary and install it only when every check passed: what an open does with
// the bytes it read. A refused image changes nothing and says why.
bool loadFigureImage(std::span<const uint8_t> bytes, Board& board, std::string& reason);
bool loadGameImage(std::span<const uint8_t> bytes, Board& board, MoveHistory& history,
                   GameState& state, int32_t now, std::string& reason);
bool loadSolutionImage(std::span<const uint8_t> bytes, Board& board, SolverResults& results,
                       std::string& reason);

}  // namespace kvarlo
