// Moves as JSON and as text.
#include "cli/move_format.h"

#include <cstdio>

namespace kvarlo::cli {

std::string jsonMove(const MoveRecord& m) {
    std::string text = "[";
    for (const EdgeRef r : {m.from, m.to, m.jumped}) {
        text += std::to_string(r.node);
        text += ',';
        text += std::to_string(r.direction);
        text += ',';
    }
    text.back() = ']';
    return text;
}

std::string jsonMoves(const MoveRecord* moves, size_t count) {
    std::string text = "[";
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += ',';
        }
        text += jsonMove(moves[i]);
    }
    return text + "]";
}

std::string textMove(const MoveRecord& m) {
    char line[80];
    std::snprintf(line, sizeof line, "(%d,%d) -> (%d,%d) over (%d,%d)", m.from.node,
                  m.from.direction, m.to.node, m.to.direction, m.jumped.node, m.jumped.direction);
    return line;
}

}  // namespace kvarlo::cli
