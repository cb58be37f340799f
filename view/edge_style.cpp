// Pens and segments of the slots.
#include "view/edge_style.h"

#include <cmath>

namespace kvarlo {

namespace {

int32_t roundHalfAway(double v) {
    return static_cast<int32_t>(v >= 0.0 ? v + 0.5 : v - 0.5);
}

}  // namespace

SlotPens slotPens(const EdgeSlot& slot) {
    EdgePen final = EdgePen::Grid;
    if (slot.target) {
        final = EdgePen::TargetSlot;
    } else if (slot.selected) {
        final = EdgePen::SelectedMatch;
    } else if (slot.movable) {
        final = EdgePen::MovableMatch;
    } else if (slot.hasMatch) {
        final = EdgePen::Match;
    }

    SlotPens out{{EdgePen::Grid, EdgePen::Grid, EdgePen::Grid}, 0};
    if (slot.movable) {
        out.pens[out.count++] = EdgePen::MovableUnderlay;
    } else if (slot.hasMatch) {
        out.pens[out.count++] = EdgePen::MatchUnderlay;
    }
    if (final != EdgePen::Grid) {
        out.pens[out.count++] = EdgePen::Grid;
    }
    out.pens[out.count++] = final;
    return out;
}

Segment shortenedSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t shorten) {
    if (shorten == 0) {
        return {x1, y1, x2, y2};
    }
    const int32_t dx = x2 - x1;
    const int32_t dy = y2 - y1;
    const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
    if (length == 0.0) {
        return {x1, y1, x2, y2};
    }
    const double ux = dx / length;
    const double uy = dy / length;
    return {roundHalfAway(x1 + ux * shorten), roundHalfAway(y1 + uy * shorten),
            roundHalfAway(x2 - ux * shorten), roundHalfAway(y2 - uy * shorten)};
}

}  // namespace kvarlo
