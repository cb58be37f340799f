// Moves as JSON and as text.
#include "cli/move_format.h"

#include <cstdio>

namespace kvarlo::cli {

std::string jsonMove(const MoveRecord& m) {
    return "[" + std::to_string(m.from.node) + "," + std::to_string(m.from.direction) + "," +
           std::to_string(m.to.node) + "," + std::to_string(m.to.direction) + "," +
           std::to_string(m.jumped.node) + "," + std::to_string(m.jumped.direction) + "]";
}

std::string jsonMoves(const MoveRecord* moves, size_t count) {
    std::string text = "[";
    for (size_t i = 0; i < count; ++i) {
        text += (i ? "," : "") + jsonMove(moves[i]);
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
