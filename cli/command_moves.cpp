// kvarlo-cli moves: the legal jumps in the position a document file holds.
#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/document_file.h"
#include "cli/legal_jumps.h"
#include "cli/move_format.h"

namespace kvarlo::cli {

namespace {

const char* const help =
    "usage: kvarlo-cli moves FILE [--json]\n"
    "\n"
    "Lists the legal jumps in the position stored in a figure, game or solution file, in\n"
    "the order the game's rule finds them: nodes ascending, directions 0..2, neighbours 0..5.\n"
    "Each jump is shown as its slot, its landing slot and the jumped slot, a slot being\n"
    "(node, direction).\n"
    "\n"
    "  --json   one array of [fromNode, fromDir, toNode, toDir, jumpedNode, jumpedDir]\n";

}  // namespace

int runMoves(const std::vector<std::string>& args) {
    FileArguments parsed;
    if (auto done = parseFileArguments(args, "moves", help, parsed)) {
        return *done;
    }
    LoadedDocument doc;
    if (!readDocumentOrReport(parsed.file, doc)) {
        return exitRefused;
    }
    const std::vector<MoveRecord> jumps = legalJumps(doc.board);
    if (parsed.json) {
        std::printf("%s\n", jsonMoves(jumps).c_str());
        return exitOk;
    }
    for (const MoveRecord& m : jumps) {
        std::printf("%s\n", textMove(m).c_str());
    }
    if (jumps.empty()) {
        std::printf("no legal jump\n");
    }
    return exitOk;
}

}  // namespace kvarlo::cli
