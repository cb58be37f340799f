// kvarlo-cli figure: writes a figure file on the board the game starts with.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/document_file.h"
#include "documents/file_format.h"
#include "game/clock.h"

namespace kvarlo::cli {

namespace {

const char* const help =
    "usage: kvarlo-cli figure -o OUT.t1a [--slots N:D,N:D,...] [--full]\n"
    "\n"
    "Writes a figure file, as the game's own figure save writes it, for the 7 x 7 board the\n"
    "game starts with. Without options the figure is empty.\n"
    "\n"
    "  -o FILE          the file to write (replaced whole if it exists)\n"
    "  --slots N:D,...  put a match on each slot: node N (0..48), direction D (0..2)\n"
    "  --full           put a match on every slot of the board\n";

bool parseNumber(std::string_view text, int32_t& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Puts matches on the listed slots; false with a message naming the first bad entry.
bool placeSlots(std::string_view list, Board& board, std::string& message) {
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view entry = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        const size_t colon = entry.find(':');
        int32_t node = -1;
        int32_t direction = -1;
        if (colon == std::string_view::npos || !parseNumber(entry.substr(0, colon), node) ||
            !parseNumber(entry.substr(colon + 1), direction)) {
            message = std::string("'").append(entry).append("' is not a slot N:D");
            return false;
        }
        if (!board.slotExists(node, direction)) {
            message = std::string("slot ").append(entry).append(" is not on the board");
            return false;
        }
        board.nodes[node].edges[direction].hasMatch = 1;
    }
    return true;
}

void placeEverywhere(Board& board) {
    for (int32_t node = 0; node < board.nodeCount; ++node) {
        for (int32_t d = 0; d < 3; ++d) {
            if (board.slotExists(node, d)) {
                board.nodes[node].edges[d].hasMatch = 1;
            }
        }
    }
}

}  // namespace

int runFigure(const std::vector<std::string>& args) {
    Board board(boardWidth, boardHeight);
    std::string output;
    std::vector<std::string> slotLists;
    bool full = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return exitOk;
        }
        if (arg == "--full") {
            full = true;
        } else if (arg == "-o" || arg == "--slots") {
            if (i + 1 == args.size()) {
                return usageError("figure", arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "-o") {
                output = value;
            } else {
                slotLists.push_back(value);
            }
        } else if (arg.starts_with("--slots=")) {
            slotLists.push_back(arg.substr(8));
        } else {
            return usageError("figure", "unexpected argument '" + arg + "'");
        }
    }
    if (output.empty()) {
        return usageError("figure", "the output file (-o) is needed");
    }
    if (full) {
        placeEverywhere(board);
    }
    for (const std::string& list : slotLists) {
        std::string message;
        if (!placeSlots(list, board, message)) {
            return usageError("figure", message);
        }
    }
    // createdTime is the moment the save begins, as in the game.
    const FixedArray<uint8_t> image =
        encodeFigure(board, static_cast<uint32_t>(systemClock().calendarSeconds()));
    std::string reason;
    if (!writeFileAtomically(output, {image.data(), image.count()}, reason)) {
        std::fprintf(stderr, "kvarlo-cli: %s: %s\n", output.c_str(), reason.c_str());
        return exitRefused;
    }
    return exitOk;
}

}  // namespace kvarlo::cli
