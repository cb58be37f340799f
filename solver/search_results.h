// Turning the engine's report into the SolverResults record that the status panel shows and the
// solution file stores.
#pragma once

#include <cstdint>
#include <vector>

#include "board/board.h"
#include "solver/engine/engine.h"
#include "solver/solver_results.h"

namespace kvarlo {

// Stores counts in `out` (n entries). When the largest count fits in a signed 64-bit value the
// counts are stored exactly and 0 is returned; otherwise every count is shifted right by the
// same s bits, a nonzero count staying at least 1, and s is returned.
int32_t storeSpectrum(const std::vector<engine::Count256>& counts, int64_t* out, int32_t n);

// The best sequence as records of the board the graph was built from, checked by replaying it
// with the game's rule. Empty when a record is not a legal jump in turn.
std::vector<MoveRecord> replayableSolution(const Board& board, const engine::JumpGraph& graph,
                                           const std::vector<engine::Jump>& sequence);

// Fills every field of `results` from the report: status 2 when complete, else 1; depth = 1 +
// the completed layers; auxCounter = the spectrum's shift; progress; positionsExamined = jumps
// generated; elapsedMs; the best solution (checked on `board`) and the spectrum up to the
// starting number of matches.
void storeReport(const engine::EngineReport& report, const engine::JumpGraph& graph,
                 const Board& board, int64_t elapsedMs, SolverResults& results);

}  // namespace kvarlo
