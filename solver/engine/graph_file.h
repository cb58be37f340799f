// The plain-text graph file: a jump graph written out slot by slot, read with a clear refusal of
// anything malformed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "solver/engine/graph.h"

namespace kvarlo::engine {

// The most jumps a graph may have. A jump passes over the slot between the two it joins, so the
// widest real graph has one jump for every ordered pair of its 128 slots. More are refused, with
// the line that goes past the limit: they describe no board anyone plays on.
inline constexpr int32_t maxGraphJumps = maxSlots * (maxSlots - 1);

// The largest graph file read. The widest real graph takes maxGraphJumps lines of at most 18
// bytes ("jump 127 126 125\r\n"), 48 symmetry lines and a start line of at most 412 bytes each,
// and 128 place lines: about 315 kB. A mebibyte leaves twice that again for comments and
// spacing; anything larger is no graph of ours.
inline constexpr size_t maxGraphFileBytes = size_t{1} << 20;

// The longest line of a graph file: the widest line, a symmetry or start listing all 128
// slots, takes 412 bytes; the rest is room for spacing and a comment.
inline constexpr size_t maxGraphLineBytes = 4096;

// Reads a graph file:
//   # comment               slots N            (1 <= N <= 128, first)
//   jump A B C              (from, over, to; one line per direction; each jump once; at most
//                            maxGraphJumps)
//   symmetry p0 ... pN-1    (a permutation that maps the jump set onto itself)
//   start s ...             (the slots holding a match)
//   place S CELL [PLANE]    (slot S lies on cell 0..63 of plane 0..2, default 0; optional, but
//                            then every slot needs one and no two share a place)
// A UTF-8 byte-order mark before the first line is skipped: editors that add one mean nothing by
// it. The file holds at most maxGraphFileBytes, each line at most maxGraphLineBytes.
// False with a message naming the line on any malformed input; `out` is then unchanged.
bool parseGraph(std::string_view text, JumpGraph& out, std::string& error);

}  // namespace kvarlo::engine
