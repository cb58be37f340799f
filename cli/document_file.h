// Files on disk for kvarlo-cli: reading a document of any kind the way the program opens one,
// and writing an image the way the program saves one (whole or not at all).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "board/board.h"
#include "documents/file_format.h"
#include "game/game.h"
#include "solver/solver_results.h"

namespace kvarlo::cli {

// The board every document is made for: the one the program builds at start-up.
inline constexpr int32_t boardWidth = 7;
inline constexpr int32_t boardHeight = 7;

// A document as the program would hold it after opening it.
struct LoadedDocument {
    DocumentKind kind = DocumentKind::Figure;
    FileHeader header;
    Board board{boardWidth, boardHeight};
    MoveHistory history;    // games
    GameState state;        // games
    SolverResults results;  // solutions
    // The file's bytes after its records. The program reads a figure's records and ignores the
    // rest, and a game's or a solution's when its counts are at their most; any other document
    // with extra bytes is refused.
    uint64_t extraBytes = 0;
};

// Reads the file, takes its kind from its header (never from its name) and applies every check
// the program's open of that kind applies. False with a reason when the file is refused or
// cannot be read.
bool readDocument(const std::string& path, LoadedDocument& out, std::string& reason);

// readDocument for a command: a refused file is reported on stderr as one line naming the file
// and the reason ("kvarlo-cli: FILE: REASON"), and nothing else is printed.
bool readDocumentOrReport(const std::string& path, LoadedDocument& out);

// Writes the image to a temporary file beside the target and renames it over the target, so an
// existing file is either replaced whole or left as it was; a symbolic link is written through
// and the replaced file's permissions stay.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> image,
                         std::string& reason);

}  // namespace kvarlo::cli
