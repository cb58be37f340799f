// The solver's results: what the status panel shows, the solution file stores and the search
// engine fills. One snapshot of them is always consistent.
#pragma once

#include <cstdint>

#include "board/fixed_array.h"
#include "board/moves.h"

namespace kvarlo {

// Both arrays hold as many entries as a game's history holds moves (the solution file has room
// for as many as the game file; the codec checks that the two agree).
inline constexpr int32_t solverCapacity = 148;

struct SolverResults {
    int32_t status = 0;      // < 1 nothing to show; 2 complete; other positive: incomplete
    int32_t depth = 0;       // 1 + completed layers; shown as depth - 1
    int32_t auxCounter = 0;  // the right shift applied to every stored spectrum count
    int32_t progressDone = 0;
    int32_t progressTotal = 0;
    int64_t positionsExamined = 0;  // jumps generated, never negative
    int32_t elapsedMs = 0;
    int32_t bestCount = 0;      // 0..148 records in use in bestSolution
    int32_t spectrumCount = 0;  // 0..148 entries in use in spectrum, entry 0 included
    FixedArray<MoveRecord> bestSolution{solverCapacity};
    FixedArray<int64_t> spectrum{solverCapacity};  // spectrum[i]: complete games ending with i
};

}  // namespace kvarlo
