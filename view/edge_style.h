// How a slot looks: the pens that draw it, chosen from its flags, and the shortened segment the
// bars are drawn along so that the thin grid line shows at both ends.
#pragma once

#include <array>
#include <cstdint>

#include "board/board.h"

namespace kvarlo {

// The values 1 to 4 are the positions of hasMatch, movable, selected and target in EdgeSlot.
enum class EdgePen : int32_t {
    Grid = 0,
    Match = 1,
    MovableMatch = 2,
    SelectedMatch = 3,
    TargetSlot = 4,
    MatchUnderlay = 5,
    MovableUnderlay = 6,
};

struct PenSpec {
    int32_t width;    // pixels
    uint32_t colour;  // COLORREF 0x00BBGGRR
};

inline constexpr std::array<PenSpec, 7> penTable = {{
    {1, 0x808080},   // Grid: mid grey
    {6, 0x0078B4},   // Match: brown
    {8, 0x0078B4},   // MovableMatch
    {8, 0x008CD2},   // SelectedMatch: orange
    {4, 0x008CD2},   // TargetSlot
    {8, 0x5A5A5A},   // MatchUnderlay: dark grey
    {10, 0xD2D2D2},  // MovableUnderlay: light grey
}};

// Bars stop this many pixels short of both nodes; the grid line is drawn full length.
inline constexpr int32_t barShortening = 8;

inline int32_t shorteningOf(EdgePen pen) {
    return pen == EdgePen::Grid ? 0 : barShortening;
}

// The pens a slot is drawn with, in drawing order: the underlay (if any), the grid line, and
// the final pen (the highest flag's) on top. A slot without flags is just the grid line.
struct SlotPens {
    std::array<EdgePen, 3> pens;
    int32_t count;
};
SlotPens slotPens(const EdgeSlot& slot);

struct Segment {
    int32_t x1, y1, x2, y2;
};

inline bool operator==(const Segment& a, const Segment& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

// Moves both ends `shorten` pixels towards each other, rounding half away from zero. Nothing
// moves for a shortening of 0 or a segment of length 0; ends closer than twice the shortening
// pass each other.
Segment shortenedSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t shorten);

}  // namespace kvarlo
