// Figures whose matches fall into groups that can never come within reach of one another. Each
// group only ever jumps among its own matches, so a game of the figure is the games of its
// groups interleaved: the fewest matches at the end is the sum of the groups' fewest, and a
// lower bound proven for each group holds for their sum. Each group is searched on its own.
#pragma once

#include <cstdint>
#include <vector>

#include "solver/engine/bits.h"
#include "solver/engine/graph.h"

namespace kvarlo::engine {

struct FigurePart {
    Bits matches;  // its matches at the start
    Bits reach;    // every slot one of its matches can ever hold
};

// Resource counts between slots, and with them how far a group of matches can ever spread.
class SlotDistances {
public:
    explicit SlotDistances(const JumpGraph& graph);

    // Every slot a group of matches can ever fill, playing among themselves alone: a fixed
    // point that adds the landing slot of every jump whose jumping and jumped slots it can
    // fill, unless the group has too little resource to put a match there.
    Bits reachOf(Bits matches) const;

    // The group's resource towards slot s: the sum over its matches of g^d, d the distance
    // from the match to s and g = (sqrt 5 - 1) / 2, so that g^(d + 2) + g^(d + 1) = g^d. The
    // distances are such that a jump's landing slot lies at most one step nearer s than its
    // jumped slot and two nearer than its jumping one: no jump raises the sum, and a match on
    // s alone counts 1, so a group whose sum is below 1 can never put a match on s.
    double resource(Bits matches, int32_t s) const;

    // The weight of slot u in the resource towards slot s.
    double weight(int32_t s, int32_t u) const { return weights_[static_cast<size_t>(s) * n_ + u]; }

    const JumpGraph& graph() const { return graph_; }

private:
    const JumpGraph& graph_;
    int32_t n_;
    std::vector<double> weights_;  // weights_[s * n_ + u]: g^d(u, s), 0 where u cannot reach s
    std::vector<std::vector<Jump>> movedBy_;  // per slot: the jumps it jumps from or is jumped in
};

// Splits a position into parts no jump can ever join: starting from one part per match, two
// parts are merged while some jump touches both reaches (a jump between them, or one blocked by
// the other's match), until every jump touches at most one. One part when they all interact.
// The parts whose matches can never move are gathered into one part (of no jumps) at the end.
std::vector<FigurePart> independentParts(const SlotDistances& distances, Bits position);

// Per slot, the slots it can jump over or be jumped from.
std::vector<Bits> jumpPartners(const JumpGraph& graph);

// The matches of `position` linked to the one on `seed` through matches that can jump over
// one another (`partners` from jumpPartners).
Bits linkedMatches(const std::vector<Bits>& partners, Bits position, int32_t seed);

// Groups of matches no match of which can ever jump over a match of another group: two groups
// are merged while some jump's jumping slot lies in the reach of one and its jumped slot in
// the other's. Until a match jumps over one of another group, which never happens, each group
// plays a game of its own (another's match may only take a slot it would land on), so every
// position of a game from the position holds, of each group, a position that group reaches
// alone: no fewer matches than the group ends with at best alone, and its bounds hold. A
// weaker split than independentParts (blocked jumps do not join), for lower bounds only, and
// quick enough to look at every position of a search.
class CrossingGroups {
public:
    explicit CrossingGroups(const SlotDistances& distances);

    // The groups of `position`. A position of one group comes back with an empty reach,
    // which nobody needs: a position whose matches are all linked by jumps over one another
    // is one group at once.
    std::vector<FigurePart> of(Bits position) const;

private:
    // The slots the matches of `reach` can jump over.
    Bits jumpedFrom(Bits reach) const;
    // Merges two groups that can cross; false when none can.
    bool mergeCrossing(std::vector<FigurePart>& groups) const;

    const SlotDistances& distances_;
    std::vector<Bits> partners_;  // see jumpPartners
    std::vector<Bits> jumped_;    // per slot: the slots a match there can jump over
};

// The groups of matches that share a jump's slots, directly or through others: where a figure
// lies in separate clusters that independentParts cannot prove apart, each cluster's best
// alone often adds up to a good ending of the whole (which must then be checked by playing it).
std::vector<FigurePart> clustersOf(const SlotDistances& distances, Bits position);

// Merges the parts with the fewest matches until at most `most` are left (independent parts
// taken together are still independent of the rest).
void mergeSmallest(std::vector<FigurePart>& parts, size_t most);

// The graph of one part: the same slots (so its jumps are the whole graph's), the jumps within
// its reach, the symmetries that keep those jumps, its matches at the start, no fixed matches.
JumpGraph partGraph(const JumpGraph& graph, const FigurePart& part);

}  // namespace kvarlo::engine
