// The status panel's lines: mode, counts, the game's moves and time, and the solver statistics.
#include "view/status.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace kvarlo {

namespace {

constexpr int32_t left = 8;
constexpr int32_t pitch = 16;
constexpr int32_t secondColumn = 140;

// Formats into the panel's one 80-byte line buffer; no line comes near that length.
[[gnu::format(printf, 5, 6)]] void addLine(std::vector<StatusLine>& lines, int32_t x, int32_t y,
                                           uint32_t colour, const char* format, ...) {
    char buffer[80];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    lines.push_back(StatusLine{x, y, colour, buffer});
}

// The search's state, progress, positions, speed and time; returns the height of the spectrum's
// heading, which follows them.
int32_t addSearchProgress(std::vector<StatusLine>& lines, const SolverResults& results, int32_t x,
                          int32_t base) {
    addLine(lines, x, base + 32, textColour, "%s перебор %i",
            results.status == 2 ? "Полный" : "Неполный", results.depth - 1);
    addLine(lines, x, base + 48, textColour, "Прогресс %i из %i", results.progressDone,
            results.progressTotal);
    addLine(lines, x, base + 64, dimTextColour, "Ходов %" PRId64, results.positionsExamined);

    int32_t heading = base + 80;
    if (results.elapsedMs > 0) {
        addLine(lines, x, base + 80, dimTextColour, "%g тыс х/с",
                static_cast<double>(results.positionsExamined) / results.elapsedMs);
        if (results.elapsedMs < 1000000) {
            addLine(lines, x, base + 96, dimTextColour, "Время %.5g сек",
                    results.elapsedMs * 0.001);
        } else {
            addLine(lines, x, base + 96, dimTextColour, "Время %i сек", results.elapsedMs / 1000);
        }
        heading = base + 112;
    }
    return heading;
}

}  // namespace

std::vector<StatusLine> composeSolverStats(const SolverResults& results, int32_t statsColumnMode,
                                           int32_t x, int32_t base) {
    std::vector<StatusLine> lines;
    const int32_t heading = addSearchProgress(lines, results, x, base);
    addLine(lines, x, heading, textColour, "Спектр:");
    if (statsColumnMode == 1) {
        addLine(lines, x + secondColumn, heading, dimTextColour, "сложность:");
    } else if (statsColumnMode == 2) {
        addLine(lines, x + secondColumn, heading, dimTextColour, "    доля:");
    }

    // A loaded file may claim more entries than the array holds; never read past it.
    const int32_t count = std::min(results.spectrumCount, solverCapacity);
    const int64_t* spectrum = results.spectrum.data();
    double total = 0.0;
    for (int32_t i = 1; i < count; ++i) {
        total += static_cast<double>(spectrum[i]);
    }

    int32_t listed = 0;
    int32_t summaryIndex = 0;
    double summaryDifficulty = 0.0;
    for (int32_t i = 1; i < count; ++i) {
        if (i != 1 && spectrum[i] == 0) {
            continue;
        }
        ++listed;
        const int32_t y = heading + pitch * listed;
        const double share = static_cast<double>(spectrum[i]) / total;
        const double difficulty = (share != 0.0 && !std::isnan(share)) ? 1.0 / share : 0.0;
        addLine(lines, x, y, dimTextColour, "%02i:  %02" PRId64, i, spectrum[i]);
        if (statsColumnMode == 1) {
            addLine(lines, x + secondColumn, y, dimTextColour, "%.1f", difficulty);
        } else if (statsColumnMode == 2) {
            addLine(lines, x + secondColumn, y, dimTextColour, "%.9f", share);
        }
        if (summaryDifficulty == 0.0) {
            summaryIndex = i;
            summaryDifficulty = difficulty;
        }
    }
    // The word starts with a Latin c here, unlike the column heading.
    addLine(lines, x, heading + pitch * (listed + 1), textColour, "%02i: cложность  %.1f",
            summaryIndex, summaryDifficulty);
    return lines;
}

std::vector<StatusLine> composeStatus(const Board& board, const WindowState& window,
                                      const MoveHistory& history, const GameState& state,
                                      const SolverResults& results, int32_t busy,
                                      int32_t clientHeight) {
    std::vector<StatusLine> lines;
    const int32_t matches = board.countMatches();
    int32_t base = 32;
    switch (window.mode) {
        case AppMode::Game: {
            const int32_t movable = board.countMovable();
            addLine(lines, left, 16, textColour, "%s, спичек", state.gameOver ? "Конец" : "Игра");
            addLine(lines, left, 32, textColour, "в начале: %i", state.initialMatches);
            addLine(lines, left, 48, textColour, "осталось: %i", matches);
            addLine(lines, left, 64, textColour, "ходовых: %i", movable);
            base = 64;
            break;
        }
        case AppMode::Editor:
            addLine(lines, left, 16, textColour, "Редактор");
            addLine(lines, left, 32, textColour, "спичек: %i", matches);
            break;
        case AppMode::Solver:
            addLine(lines, left, 16, textColour, "Решатель");
            addLine(lines, left, 32, textColour, "спичек: %i", matches);
            break;
    }
    if ((busy >= 1 || results.status >= 1) && window.showStats) {
        std::vector<StatusLine> stats =
            composeSolverStats(results, window.statsColumnMode, left, base);
        lines.insert(lines.end(), stats.begin(), stats.end());
    }
    if (window.mode == AppMode::Game) {
        addLine(lines, left, clientHeight - 32, dimTextColour, "Сделано ходов: %i за %i сек",
                history.current, state.elapsedSeconds);
    }
    return lines;
}

}  // namespace kvarlo
