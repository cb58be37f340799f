// The legal jumps of a position: the jump lists by slot and the jump families of a graph whose
// slots have places.
#include "solver/engine/move_generator.h"

#include <algorithm>

namespace kvarlo::engine {

MoveGenerator::MoveGenerator(const JumpGraph& graph, Way way)
    : graph_(graph), way_(way), byteCount_((graph.slotCount + 7) / 8) {
    const int32_t jumpCount = static_cast<int32_t>(graph.jumps.size());
    for (int32_t s = 0; s < graph.slotCount; ++s) {
        slots_.set(s);
    }
    // The jump lists: counting sort of the jumps by `from`, then by `to`, each keeping the
    // graph's order within a slot.
    auto group = [&](auto slotOf, std::vector<int32_t>& start, std::vector<JumpTest>& list) {
        start.assign(graph.slotCount + 1, 0);
        for (const Jump& j : graph.jumps) {
            ++start[slotOf(j) + 1];
        }
        for (int32_t s = 0; s < graph.slotCount; ++s) {
            start[s + 1] += start[s];
        }
        list.resize(jumpCount);
        std::vector<int32_t> fill(start.begin(), start.end() - 1);
        for (int32_t j = 0; j < jumpCount; ++j) {
            const Jump& jump = graph.jumps[j];
            list[fill[slotOf(jump)]++] =
                JumpTest{Bits::bit(jump.from) | Bits::bit(jump.over), Bits::bit(jump.to), j};
        }
    };
    group([](const Jump& j) { return j.from; }, fromStart_, byFrom_);
    group([](const Jump& j) { return j.to; }, toStart_, byTo_);
    buildFamilies();
}

bool MoveGenerator::placesServeFamilies(const JumpGraph& g) {
    if (static_cast<int32_t>(g.places.size()) != g.slotCount) {
        return false;
    }
    // Two slots on one place would share a bit of a plane: the families would be wrong.
    std::array<bool, 64 * planeCount> taken{};
    for (const SlotPlace& place : g.places) {
        if (place.cell < 0 || place.cell >= 64 || place.plane < 0 || place.plane >= planeCount ||
            taken[place.plane * 64 + place.cell]) {
            return false;
        }
        taken[place.plane * 64 + place.cell] = true;
    }
    return true;
}

void MoveGenerator::buildFamilies() {
    const JumpGraph& g = graph_;
    if (!placesServeFamilies(g)) {
        return;
    }
    auto plane = [&](int32_t slot) { return static_cast<int32_t>(g.places[slot].plane); };
    auto cell = [&](int32_t slot) { return static_cast<int32_t>(g.places[slot].cell); };
    for (size_t j = 0; j < g.jumps.size(); ++j) {
        const Jump& jump = g.jumps[j];
        const int32_t from = cell(jump.from);
        const int32_t over = cell(jump.over) - from;
        const int32_t to = cell(jump.to) - from;
        auto same = [&](const JumpFamily& f) {
            return f.planeFrom == plane(jump.from) && f.planeOver == plane(jump.over) &&
                   f.planeTo == plane(jump.to) && f.overRight - f.overLeft == over &&
                   f.toRight - f.toLeft == to;
        };
        auto it = std::find_if(families_.begin(), families_.end(), same);
        if (it == families_.end()) {
            JumpFamily f;
            f.planeFrom = plane(jump.from);
            f.planeOver = plane(jump.over);
            f.planeTo = plane(jump.to);
            f.overRight = std::max(over, 0);
            f.overLeft = std::max(-over, 0);
            f.toRight = std::max(to, 0);
            f.toLeft = std::max(-to, 0);
            families_.push_back(f);
            it = families_.end() - 1;
        }
        it->cells |= uint64_t{1} << from;
        it->jumpAt[from] = static_cast<int32_t>(j);
    }
    planeBytes_.assign(static_cast<size_t>(byteCount_) * 256 * planeCount, 0);
    for (int32_t b = 0; b < byteCount_; ++b) {
        for (int32_t v = 0; v < 256; ++v) {
            for (int32_t i = 0; i < 8; ++i) {
                const int32_t slot = 8 * b + i;
                if ((v >> i) & 1 && slot < g.slotCount) {
                    planeBytes_[(static_cast<size_t>(b) * 256 + v) * planeCount + plane(slot)] |=
                        uint64_t{1} << cell(slot);
                }
            }
        }
    }
}

bool MoveGenerator::familiesPay(int32_t matches) const {
    if (families_.empty()) {
        return false;
    }
    // Instructions, roughly: a jump list entry takes about a dozen, a family about ten, and
    // the plane words about six per byte of the position.
    const int32_t walked = std::min(matches, graph_.slotCount - matches);
    const double perSlot = static_cast<double>(graph_.jumps.size()) / graph_.slotCount;
    return 12.0 * walked * perSlot > 10.0 * families_.size() + 6.0 * byteCount_;
}

bool MoveGenerator::familiesChosen(int32_t matches) const {
    return !families_.empty() &&
           (way_ == Way::Families || (way_ == Way::Cheapest && familiesPay(matches)));
}

int32_t MoveGenerator::legalJumpsOf(Bits p, int32_t* out) const {
    const int32_t matches = p.count();
    if (familiesChosen(matches)) {
        return legalJumpsByFamily(p, out);
    }
    return legalJumps(p, graph_.slotCount - matches < matches, out);
}

int32_t MoveGenerator::legalJumpsInGraphOrder(Bits p, int32_t* out) const {
    const int32_t n = legalJumpsOf(p, out);
    std::sort(out, out + n);
    return n;
}

}  // namespace kvarlo::engine
