// Fuzzes the graph file reader: any text either gives a graph that keeps every promise the search
// relies on, or a short message of printable ASCII naming the line, never a crash or a stray read.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "solver/engine/graph.h"
#include "solver/engine/graph_file.h"

namespace {

using namespace kvarlo::engine;

void expect(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A refusal quotes at most a short excerpt of the input, escaped, so the message stays a line
// whatever the file held.
void checkMessage(const std::string& error) {
    expect(!error.empty() && error.size() < 320);
    expect(std::all_of(error.begin(), error.end(), [](char c) { return c >= 0x20 && c < 0x7f; }));
}

int32_t key(Jump j) {
    return (j.from << 16) | (j.over << 8) | j.to;
}

// Every jump lies on the graph's slots, takes three different ones and is listed once.
void checkJumps(const JumpGraph& graph) {
    std::vector<int32_t> keys;
    for (const Jump j : graph.jumps) {
        expect(j.from < graph.slotCount && j.over < graph.slotCount && j.to < graph.slotCount);
        expect(j.from != j.over && j.over != j.to && j.from != j.to);
        keys.push_back(key(j));
    }
    std::sort(keys.begin(), keys.end());
    expect(std::adjacent_find(keys.begin(), keys.end()) == keys.end());
}

// Whether `perm` maps the jump set onto itself, found apart from the reader's own check: the
// images, sorted, are the jumps, sorted.
bool mapsJumpsOntoThemselves(const JumpGraph& graph, const Permutation& perm) {
    std::vector<int32_t> jumps;
    std::vector<int32_t> images;
    for (const Jump j : graph.jumps) {
        jumps.push_back(key(j));
        images.push_back(key(Jump{perm[j.from], perm[j.over], perm[j.to]}));
    }
    std::sort(jumps.begin(), jumps.end());
    std::sort(images.begin(), images.end());
    return jumps == images;
}

// The symmetries form a group (closed under composition), led by the identity, of at most
// maxSymmetries permutations of the slots that each map the jump set onto itself.
void checkSymmetries(const JumpGraph& graph) {
    const auto count = static_cast<int32_t>(graph.symmetries.size());
    expect(count >= 1 && count <= maxSymmetries);
    for (int32_t i = 0; i < graph.slotCount; ++i) {
        expect(graph.symmetries[0][i] == i);
    }
    for (const Permutation& p : graph.symmetries) {
        std::vector<bool> taken(graph.slotCount, false);
        for (int32_t i = 0; i < graph.slotCount; ++i) {
            expect(p[i] < graph.slotCount && !taken[p[i]]);
            taken[p[i]] = true;
        }
        expect(mapsJumpsOntoThemselves(graph, p));
        for (const Permutation& q : graph.symmetries) {
            Permutation composed = p;
            for (int32_t i = 0; i < graph.slotCount; ++i) {
                composed[i] = p[q[i]];
            }
            expect(std::any_of(graph.symmetries.begin(), graph.symmetries.end(), [&](auto& r) {
                return std::equal(r.begin(), r.begin() + graph.slotCount, composed.begin());
            }));
        }
    }
}

void checkGraph(const JumpGraph& graph) {
    expect(graph.slotCount >= 1 && graph.slotCount <= maxSlots);
    expect(graph.slotRefs.empty() && graph.fixedMatches == 0);
    expect(graph.places.empty() || static_cast<int32_t>(graph.places.size()) == graph.slotCount);
    for (int32_t i = graph.slotCount; i < maxSlots; ++i) {
        expect(!graph.start.test(i));
    }
    checkJumps(graph);
    checkSymmetries(graph);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    JumpGraph graph;
    std::string error;
    if (parseGraph(text, graph, error)) {
        checkGraph(graph);
    } else {
        checkMessage(error);
        expect(graph.slotCount == 0 && graph.jumps.empty());
    }
    return 0;
}
