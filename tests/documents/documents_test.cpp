// The file layer: reading a figure by a fixed name, replacing files whole, and what a cancelled
// dialog leaves behind.
#include "documents/documents.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "documents/document_bytes.h"
#include "support/test_files.h"
#include "documents/file_format.h"

namespace kvarlo {
namespace {

namespace fs = std::filesystem;
using testing::bytesOf;

size_t entriesIn(const fs::path& dir) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Each test works in a folder of its own, which is also the current folder.
class DocumentFiles : public ::testing::Test {
protected:
    testing::TestFolder folder{"kvarlo-documents", true};
    const fs::path& dir = folder.path();
};

Board figure() {
    Board board(7, 7);
    board.nodes[24].edges[0].hasMatch = 1;
    board.nodes[24].edges[1].hasMatch = 1;
    board.nodes[24].edges[1].movable = 1;
    return board;
}

TEST_F(DocumentFiles, FixedNameLoadsFromTheCurrentFolderAndNamesTheDocument) {
    auto image = bytesOf(encodeFigure(figure(), 5));
    image.insert(image.end(), 64, 0xEE);  // never read
    testing::writeBytes(dir / "default.t1a", image);
    test::World world;
    DocumentName name;
    ASSERT_TRUE(openFigure(nullptr, world.board, name, "default.t1a"));
    EXPECT_TRUE(test::sameBoard(world.board, figure()));
    EXPECT_STREQ(name.text, "default");
}

TEST_F(DocumentFiles, RefusedOrMissingFixedFileChangesNothing) {
    auto image = bytesOf(encodeFigure(figure(), 5));
    image.pop_back();
    testing::writeBytes(dir / "short.t1a", image);
    auto game = bytesOf(encodeGame(figure(), MoveHistory{}, GameState{}, 5));
    testing::writeBytes(dir / "game.t1a", game);
    for (const char* file : {"short.t1a", "game.t1a", "missing.t1a", ""}) {
        test::World world;
        const test::World before = world;
        DocumentName name;
        setDocumentName(name, "/keep/me.t1b");
        EXPECT_FALSE(openFigure(nullptr, world.board, name, file)) << file;
        EXPECT_TRUE(test::sameWorld(world, before)) << file;
        EXPECT_STREQ(name.text, "/keep/me") << file;
    }
}

TEST_F(DocumentFiles, ReplacingAFileWritesItWholeAndLeavesNoTemporary) {
    testing::writeBytes(dir / "f.t1a", std::vector<uint8_t>(5000, 0x55));
    const auto image = bytesOf(encodeFigure(figure(), 9));
    ASSERT_TRUE(writeFileReplacing((dir / "f.t1a").string().c_str(), image.data(),
                                   static_cast<uint32_t>(image.size())));
    EXPECT_EQ(testing::readBytes(dir / "f.t1a"), image);
    EXPECT_EQ(entriesIn(dir), 1u);

    // A bare name goes to the current folder.
    ASSERT_TRUE(writeFileReplacing("g.t1a", image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_EQ(testing::readBytes(dir / "g.t1a"), image);
    EXPECT_EQ(entriesIn(dir), 2u);
}

TEST_F(DocumentFiles, AFailedReplaceKeepsWhatWasThere) {
    const auto image = bytesOf(encodeFigure(figure(), 9));
    // The target is a folder: the temporary file is written, the rename fails.
    fs::create_directories(dir / "taken.t1a" / "inside");
    EXPECT_FALSE(writeFileReplacing((dir / "taken.t1a").string().c_str(), image.data(),
                                    static_cast<uint32_t>(image.size())));
    EXPECT_TRUE(fs::is_directory(dir / "taken.t1a" / "inside"));
    EXPECT_EQ(entriesIn(dir), 1u) << "the temporary file is removed again";

    // No folder to put the temporary file in.
    EXPECT_FALSE(writeFileReplacing((dir / "none" / "f.t1a").string().c_str(), image.data(),
                                    static_cast<uint32_t>(image.size())));
    EXPECT_FALSE(fs::exists(dir / "none"));
}

}  // namespace
}  // namespace kvarlo
