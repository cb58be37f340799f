// Independent parts of a figure: reaches as fixed points, parts merged while a jump joins them.
#include "solver/engine/parts.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace kvarlo::engine {

namespace {

Bits triple(Jump j) {
    return Bits::bit(j.from) | Bits::bit(j.over) | Bits::bit(j.to);
}

bool movesWithin(Bits reach, Jump j) {
    return reach.test(j.from) && reach.test(j.over);
}

// The root of a part in a union-find forest.
size_t rootOf(std::vector<size_t>& parent, size_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// One merge pass: every jump joins the parts whose reaches it touches. True when any merged.
bool mergeTouching(const SlotDistances& distances, std::vector<FigurePart>& parts) {
    std::vector<size_t> parent(parts.size());
    std::iota(parent.begin(), parent.end(), size_t{0});
    bool merged = false;
    for (const Jump& j : distances.graph().jumps) {
        const Bits t = triple(j);
        size_t first = parts.size();
        for (size_t i = 0; i < parts.size(); ++i) {
            if ((parts[i].reach & t).empty()) {
                continue;
            }
            const size_t root = rootOf(parent, i);
            if (first == parts.size()) {
                first = root;
            } else if (root != rootOf(parent, first)) {
                parent[root] = rootOf(parent, first);
                merged = true;
            }
        }
    }
    if (!merged) {
        return false;
    }
    std::vector<FigurePart> joined;
    std::vector<size_t> slotOf(parts.size(), parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t root = rootOf(parent, i);
        if (slotOf[root] == parts.size()) {
            slotOf[root] = joined.size();
            joined.push_back(FigurePart{});
        }
        joined[slotOf[root]].matches = joined[slotOf[root]].matches | parts[i].matches;
    }
    for (FigurePart& p : joined) {
        p.reach = distances.reachOf(p.matches);
    }
    parts.swap(joined);
    return true;
}

// Parts whose reach is their matches alone never move: one part holds them all.
void gatherStill(std::vector<FigurePart>& parts) {
    FigurePart still;
    std::vector<FigurePart> moving;
    for (const FigurePart& p : parts) {
        if (p.reach == p.matches) {
            still.matches = still.matches | p.matches;
            still.reach = still.reach | p.reach;
        } else {
            moving.push_back(p);
        }
    }
    if (!still.matches.empty()) {
        moving.push_back(still);
    }
    parts.swap(moving);
}

}  // namespace

SlotDistances::SlotDistances(const JumpGraph& graph)
    : graph_(graph), n_(graph.slotCount), weights_(static_cast<size_t>(n_) * n_, 0.0) {
    // Per target, the least distances that keep every jump's slots within one and two steps
    // of its landing slot: shortest paths over the edges jumped -> landing (1) and jumping ->
    // landing (2), found backwards from the target with a bucket queue.
    const double g = (std::sqrt(5.0) - 1) / 2;
    std::vector<std::vector<Jump>> landingOn(n_);
    movedBy_.resize(n_);
    for (const Jump& j : graph.jumps) {
        landingOn[j.to].push_back(j);
        movedBy_[j.from].push_back(j);
        movedBy_[j.over].push_back(j);
    }
    std::vector<int32_t> d(n_);
    for (int32_t s = 0; s < n_; ++s) {
        std::fill(d.begin(), d.end(), -1);
        std::vector<std::vector<int32_t>> buckets(1, std::vector<int32_t>{s});
        d[s] = 0;
        for (size_t k = 0; k < buckets.size(); ++k) {
            for (size_t i = 0; i < buckets[k].size(); ++i) {
                const int32_t v = buckets[k][i];
                if (d[v] != static_cast<int32_t>(k)) {
                    continue;
                }
                for (const Jump& j : landingOn[v]) {
                    for (auto [u, w] : {std::pair<int32_t, int32_t>{j.over, 1}, {j.from, 2}}) {
                        const int32_t nd = static_cast<int32_t>(k) + w;
                        if (d[u] < 0 || nd < d[u]) {
                            d[u] = nd;
                            buckets.resize(std::max<size_t>(buckets.size(), nd + 1));
                            buckets[nd].push_back(u);
                        }
                    }
                }
            }
        }
        for (int32_t u = 0; u < n_; ++u) {
            weights_[static_cast<size_t>(s) * n_ + u] = d[u] < 0 ? 0.0 : std::pow(g, d[u]);
        }
    }
}

double SlotDistances::resource(Bits matches, int32_t s) const {
    const double* w = &weights_[static_cast<size_t>(s) * n_];
    double sum = 0;
    for (uint64_t word : {matches.lo, matches.hi}) {
        for (; word != 0; word &= word - 1) {
            sum += w[std::countr_zero(word)];
        }
        w += 64;
    }
    return sum;
}

Bits SlotDistances::reachOf(Bits matches) const {
    // Grown from the slots added last: a jump can only become possible when its jumping or
    // jumped slot has just joined the reach.
    Bits reach = matches;
    Bits tooFar;
    thread_local std::vector<int32_t> fresh;
    fresh.clear();
    forEachBit(matches, [&](int32_t s) { fresh.push_back(s); });
    while (!fresh.empty()) {
        const int32_t s = fresh.back();
        fresh.pop_back();
        for (const Jump& j : movedBy_[s]) {
            if (!movesWithin(reach, j) || reach.test(j.to) || tooFar.test(j.to)) {
                continue;
            }
            if (resource(matches, j.to) < 1 - 1e-9) {  // rounding counts as enough
                tooFar.set(j.to);
                continue;
            }
            reach.set(j.to);
            fresh.push_back(j.to);
        }
    }
    return reach;
}

std::vector<FigurePart> independentParts(const SlotDistances& distances, Bits position) {
    std::vector<FigurePart> parts;
    for (int32_t s = 0; s < distances.graph().slotCount; ++s) {
        if (position.test(s)) {
            parts.push_back(FigurePart{Bits::bit(s), Bits::bit(s)});  // one match cannot move
        }
    }
    while (mergeTouching(distances, parts)) {
    }
    gatherStill(parts);
    return parts;
}

std::vector<FigurePart> clustersOf(const SlotDistances& distances, Bits position) {
    std::vector<FigurePart> parts;
    for (int32_t s = 0; s < distances.graph().slotCount; ++s) {
        if (position.test(s)) {
            parts.push_back(FigurePart{Bits::bit(s), Bits::bit(s)});
        }
    }
    // One merge pass over single matches joins every two that share a jump's slots.
    mergeTouching(distances, parts);
    return parts;
}

std::vector<Bits> jumpPartners(const JumpGraph& graph) {
    std::vector<Bits> partners(graph.slotCount);
    for (const Jump& j : graph.jumps) {
        partners[j.from].set(j.over);
        partners[j.over].set(j.from);
    }
    return partners;
}

Bits linkedMatches(const std::vector<Bits>& partners, Bits position, int32_t seed) {
    Bits joined = Bits::bit(seed);
    for (Bits fresh = joined; !fresh.empty();) {
        Bits next;
        forEachBit(fresh, [&](int32_t s) { next = next | partners[s]; });
        fresh = next & position & Bits{~joined.lo, ~joined.hi};
        joined = joined | fresh;
    }
    return joined;
}

CrossingGroups::CrossingGroups(const SlotDistances& distances)
    : distances_(distances),
      partners_(jumpPartners(distances.graph())),
      jumped_(distances.graph().slotCount) {
    for (const Jump& j : distances.graph().jumps) {
        jumped_[j.from].set(j.over);
    }
}

Bits CrossingGroups::jumpedFrom(Bits reach) const {
    Bits over;
    forEachBit(reach, [&](int32_t s) { over = over | jumped_[s]; });
    return over;
}

bool CrossingGroups::mergeCrossing(std::vector<FigurePart>& groups) const {
    std::vector<Bits> over;
    for (const FigurePart& g : groups) {
        over.push_back(jumpedFrom(g.reach));
    }
    for (size_t i = 0; i < groups.size(); ++i) {
        for (size_t k = i + 1; k < groups.size(); ++k) {
            if ((over[i] & groups[k].reach).empty() && (over[k] & groups[i].reach).empty()) {
                continue;
            }
            groups[i].matches = groups[i].matches | groups[k].matches;
            groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(k));
            // The last group's reach is never looked at: one group bounds nothing.
            groups[i].reach = groups.size() > 1 ? distances_.reachOf(groups[i].matches) : Bits{};
            return true;
        }
    }
    return false;
}

std::vector<FigurePart> CrossingGroups::of(Bits position) const {
    // Matches that can jump over one another start as one group: the clusters.
    std::vector<FigurePart> groups;
    for (Bits left = position; !left.empty();) {
        const int32_t seed =
            left.lo != 0 ? std::countr_zero(left.lo) : 64 + std::countr_zero(left.hi);
        const Bits cluster = linkedMatches(partners_, position, seed);
        groups.push_back(FigurePart{cluster, Bits{}});
        left = left & Bits{~cluster.lo, ~cluster.hi};
    }
    if (groups.size() < 2) {
        return groups;
    }
    for (FigurePart& g : groups) {
        g.reach = g.matches.count() == 1 ? g.matches : distances_.reachOf(g.matches);
    }
    while (groups.size() > 1 && mergeCrossing(groups)) {
    }
    return groups;
}

void mergeSmallest(std::vector<FigurePart>& parts, size_t most) {
    while (parts.size() > std::max<size_t>(most, 1)) {
        std::sort(parts.begin(), parts.end(), [](const FigurePart& a, const FigurePart& b) {
            return a.matches.count() > b.matches.count();
        });
        FigurePart last = parts.back();
        parts.pop_back();
        parts.back().matches = parts.back().matches | last.matches;
        parts.back().reach = parts.back().reach | last.reach;
    }
}

JumpGraph partGraph(const JumpGraph& graph, const FigurePart& part) {
    JumpGraph sub;
    sub.slotCount = graph.slotCount;
    for (const Jump& j : graph.jumps) {
        if (movesWithin(part.reach, j)) {
            sub.jumps.push_back(j);
        }
    }
    sub.start = part.matches;
    sub.slotRefs = graph.slotRefs;
    sub.places = graph.places;
    for (const Permutation& perm : graph.symmetries) {
        if (isGraphSymmetry(sub, perm)) {
            sub.symmetries.push_back(perm);
        }
    }
    return sub;
}

}  // namespace kvarlo::engine
