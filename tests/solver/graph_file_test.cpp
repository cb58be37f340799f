// Reading graph files: what is read, what is refused and how the refusal names its line.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "solver/engine/graph_file.h"

namespace kvarlo::engine {
namespace {

TEST(GraphFileTest, ReadsAndRefusesWithLineNumbers) {
    JumpGraph graph;
    std::string error;
    ASSERT_TRUE(
        parseGraph("# a line of five\nslots 5\njump 0 1 2\njump 2 1 0\njump 1 2 3\n"
                   "jump 3 2 1\njump 2 3 4\njump 4 3 2\nsymmetry 4 3 2 1 0\n"
                   "start 0 1 3\n",
                   graph, error))
        << error;
    EXPECT_EQ(graph.slotCount, 5);
    EXPECT_EQ(graph.jumps.size(), 6u);
    EXPECT_EQ(graph.symmetries.size(), 2u);
    EXPECT_EQ(graph.start.count(), 3);

    const JumpGraph before = graph;
    auto refuse = [&](const char* text, const char* expected) {
        std::string why;
        EXPECT_FALSE(parseGraph(text, graph, why)) << text;
        EXPECT_NE(why.find(expected), std::string::npos) << why;
        EXPECT_EQ(graph.slotCount, before.slotCount);
    };
    refuse("slots 3\njump 0 1 5\n", "line 2");
    refuse("slots 129\n", "line 1");
    refuse("jump 0 1 2\n", "before the slots");
    refuse("slots 3\njump 0 1 2\nsymmetry 1 0 2\n", "line 3");
    refuse("slots 3\njump 0 1 1\n", "three different");
    refuse("slots 3\nstart 0 0\n", "listed twice");
    refuse("slots 3\nhop 0 1 2\n", "unknown keyword");
    refuse("slots 3\njump 0 x 2\n", "not a number");
    refuse("# nothing\n", "no slots");

    // Listed permutations are closed into a group: a 3-cycle brings its square along.
    ASSERT_TRUE(
        parseGraph("slots 3\njump 0 1 2\njump 1 2 0\njump 2 0 1\nsymmetry 1 2 0\n", graph, error))
        << error;
    EXPECT_EQ(graph.symmetries.size(), 3u);
}

TEST(GraphFileTest, PlacesAreForEverySlotOrNoneAndOnePerPlace) {
    const std::string line = "slots 3\njump 0 1 2\njump 2 1 0\n";
    JumpGraph graph;
    std::string error;
    ASSERT_TRUE(parseGraph(line, graph, error)) << error;
    EXPECT_TRUE(graph.places.empty());
    ASSERT_TRUE(parseGraph(line + "place 2 5\nplace 0 63 2\nplace 1 63 1\n", graph, error))
        << error;
    const std::vector<SlotPlace> read{{63, 2}, {63, 1}, {5, 0}};
    EXPECT_EQ(graph.places, read);

    auto refuse = [&](const std::string& places, const char* expected) {
        std::string why;
        EXPECT_FALSE(parseGraph(line + places, graph, why)) << places;
        EXPECT_NE(why.find(expected), std::string::npos) << places << ": " << why;
        EXPECT_EQ(graph.places, read) << places;
    };
    refuse("place 0 0\nplace 3 1\nplace 2 2\n", "line 5: slot 3 outside 0..2");
    refuse("place 0 0\nplace -1 1\n", "line 5: slot -1");
    refuse("place 0 64\n", "line 4: cell 64 outside 0..63");
    refuse("place 0 -1\n", "line 4: cell -1");
    refuse("place 0 1 3\n", "line 4: plane 3 outside 0..2");
    refuse("place 0 1 -1\n", "line 4: plane -1");
    refuse("place 0 1\nplace 1 2\nplace 0 3\nplace 2 4\n", "line 6: slot 0 placed twice");
    refuse("place 0 7 1\nplace 1 8\nplace 2 7 1\n", "line 6: slot 2 on the place of slot 0");
    refuse("place 0 1\nplace 2 3\n", "line 4: slot 1 has no place");
    refuse("place 0\n", "line 4: place needs");
    refuse("place 0 1 2 3\n", "line 4: place needs");
    refuse("place 0 x\n", "line 4: 'x' is not a number");
    std::string why;
    EXPECT_FALSE(parseGraph("place 0 1\nslots 1\n", graph, why));
    EXPECT_NE(why.find("line 1: place before the slots line"), std::string::npos) << why;
}

// The message a graph file is refused with; the graph it was to fill stays empty.
std::string refusal(const std::string& text) {
    JumpGraph graph;
    std::string why;
    EXPECT_FALSE(parseGraph(text, graph, why)) << text.substr(0, 100);
    EXPECT_EQ(graph.slotCount, 0);
    return why;
}

// `text` filled out to exactly `size` bytes with comment lines as long as a line may be.
std::string paddedTo(std::string text, size_t size) {
    while (text.size() < size) {
        const size_t line = std::min(size - text.size(), maxGraphLineBytes + 1);  // with '\n'
        if (line > 1) {
            text += '#';
            text.append(line - 2, '-');
        }
        text += '\n';
    }
    return text;
}

TEST(GraphFileTest, AsManyJumpsAsAGraphMayHaveAreReadAndARepeatIsFoundAnywhere) {
    // Different jumps of 128 slots in turn, every `over` for each `from` before the next: the
    // most lines a graph may give to compare against each other.
    std::string text = "slots 128\n";
    std::vector<std::string> lines;
    for (int32_t k = 0; k <= maxGraphJumps; ++k) {
        const int32_t a = k / (127 * 126);
        const int32_t b = (a + 1 + k / 126 % 127) % 128;
        int32_t c = k % 126;
        c += c >= std::min(a, b) ? 1 : 0;
        c += c >= std::max(a, b) ? 1 : 0;
        lines.push_back("jump " + std::to_string(a) + " " + std::to_string(b) + " " +
                        std::to_string(c) + "\n");
    }
    const std::string extra = lines.back();
    lines.pop_back();
    for (const std::string& line : lines) {
        text += line;
    }
    JumpGraph graph;
    std::string error;
    ASSERT_TRUE(parseGraph(text, graph, error)) << error;
    ASSERT_EQ(graph.jumps.size(), lines.size());
    const std::string next = "line " + std::to_string(lines.size() + 2) + ": ";
    EXPECT_EQ(refusal(text + extra), next + "more than 16256 jumps, the most a graph may have");
    EXPECT_EQ(refusal(text + lines.front()), next + "jump 0 1 2 listed twice");
    const std::string last = lines.back();
    EXPECT_EQ(refusal(text + last),
              next + "jump " + last.substr(5, last.size() - 6) + " listed twice");
}

TEST(GraphFileTest, SymmetriesAreCountedOnceAndRefusedPastTheGroupsLimit) {
    // With no jumps every permutation of the slots is a symmetry.
    std::string repeated = "slots 5\n";
    for (int32_t i = 0; i < 5000; ++i) {
        repeated += i % 2 ? "symmetry 1 0 2 3 4\n" : "symmetry 0 1 2 3 4\n";
    }
    JumpGraph graph;
    std::string error;
    ASSERT_TRUE(parseGraph(repeated, graph, error)) << error;
    EXPECT_EQ(graph.symmetries.size(), 2u);

    // The identity and 47 more make the most a graph may have; the next is refused on its line.
    std::string many = "slots 5\n";
    std::array<int32_t, 5> perm{0, 1, 2, 3, 4};
    for (int32_t listed = 0; listed < maxSymmetries; ++listed) {
        std::next_permutation(perm.begin(), perm.end());
        many += "symmetry";
        for (int32_t p : perm) {
            many += ' ';
            many += std::to_string(p);
        }
        many += "\n";
    }
    const std::string why = refusal(many);
    EXPECT_NE(why.find("line 49: more than 48 different symmetries"), std::string::npos) << why;
}

TEST(GraphFileTest, TheFileAndEachLineHaveALimit) {
    const std::string graph = "slots 3\njump 0 1 2\n";
    JumpGraph read;
    std::string error;
    EXPECT_TRUE(parseGraph(paddedTo(graph, maxGraphFileBytes), read, error)) << error;
    std::string why = refusal(paddedTo(graph, maxGraphFileBytes + 1));
    EXPECT_EQ(why, "larger than 1048576 bytes, the most a graph file may hold");

    const std::string longest = graph + "#" + std::string(maxGraphLineBytes - 1, '-');
    EXPECT_TRUE(parseGraph(longest + "\n", read, error)) << error;
    EXPECT_TRUE(parseGraph(longest + "\r\n", read, error)) << error;
    why = refusal(longest + "-\n");
    EXPECT_EQ(why, "line 3: longer than 4096 bytes, the most a line may hold");
}

TEST(GraphFileTest, MessagesQuoteAShortEscapedExcerpt) {
    // A screen-clearing escape sequence at the head of four thousand bytes.
    const std::string token = "\x1b[2J" + std::string(4000, 'a');
    const std::string quoted = "'\\x1B[2J" + std::string(28, 'a') + "'... (4004 bytes)";
    std::string why = refusal("slots 3\n" + token + " 0 1 2\n");
    EXPECT_EQ(why, "line 2: unknown keyword " + quoted +
                       "; a line starts with slots, jump, symmetry, start or place");
    why = refusal("slots 3\njump 0 " + token + " 2\n");
    EXPECT_EQ(why, "line 2: " + quoted + " is not a number");
    why = refusal("slots 3\nstart 0 1\\2\xD0\x90\n");
    EXPECT_EQ(why, "line 2: '1\\\\2\\xD0\\x90' is not a number");
    why = refusal("slots 100000000000000000000\n");
    EXPECT_EQ(why, "line 1: '100000000000000000000' is far out of range");
}

TEST(GraphFileTest, AByteOrderMarkIsSkippedAtTheStartAndShownElsewhere) {
    const std::string mark = "\xEF\xBB\xBF";
    JumpGraph graph;
    std::string error;
    ASSERT_TRUE(parseGraph(mark + "slots 3\r\njump 0 1 2\r\n", graph, error)) << error;
    EXPECT_EQ(graph.slotCount, 3);
    EXPECT_EQ(graph.jumps.size(), 1u);
    const std::string why = refusal("slots 3\n" + mark + "jump 0 1 2\n");
    EXPECT_NE(why.find("line 2: unknown keyword '\\xEF\\xBB\\xBFjump'"), std::string::npos) << why;
    EXPECT_NE(refusal(mark + mark + "slots 3\n").find("line 1: unknown keyword '\\xEF\\xBB\\xBF"),
              std::string::npos);
}

}  // namespace
}  // namespace kvarlo::engine
