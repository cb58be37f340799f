// The file layer: reading a figure by a fixed name, replacing files whole, and what a cancelled
// dialog leaves behind.
#include "documents/documents.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "documents/document_bytes.h"
#include "documents/file_format.h"
#include "support/test_files.h"

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

#ifndef _WIN32
fs::perms permissionsOf(const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::mask;
}

// A save goes through a symbolic link to the file it names, as editors do: the link stays a
// link, however many links lead there, and a link to a file not made yet makes that file.
TEST_F(DocumentFiles, SavingThroughALinkWritesTheFileItNames) {
    fs::create_directories(dir / "real");
    testing::writeBytes(dir / "real" / "f.t1a", std::vector<uint8_t>(5000, 0x55));
    fs::create_symlink("real/f.t1a", dir / "link.t1a");
    fs::create_symlink(dir / "link.t1a", dir / "second.t1a");
    const auto image = bytesOf(encodeFigure(figure(), 9));
    ASSERT_TRUE(writeFileReplacing((dir / "second.t1a").string().c_str(), image.data(),
                                   static_cast<uint32_t>(image.size())));
    EXPECT_TRUE(fs::is_symlink(dir / "second.t1a"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.t1a"));
    EXPECT_EQ(fs::read_symlink(dir / "link.t1a"), fs::path("real/f.t1a"));
    EXPECT_EQ(testing::readBytes(dir / "real" / "f.t1a"), image);
    EXPECT_EQ(entriesIn(dir), 3u);
    EXPECT_EQ(entriesIn(dir / "real"), 1u) << "no temporary file is left";

    fs::create_symlink("real/new.t1a", dir / "ahead.t1a");
    ASSERT_TRUE(writeFileReplacing("ahead.t1a", image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_TRUE(fs::is_symlink(dir / "ahead.t1a"));
    EXPECT_EQ(testing::readBytes(dir / "real" / "new.t1a"), image);
}

// The replaced file keeps its permissions; a new one gets the usual ones under the umask.
TEST_F(DocumentFiles, SavingKeepsTheFilesPermissions) {
    const auto image = bytesOf(encodeFigure(figure(), 9));
    for (const fs::perms mode :
         {fs::perms::owner_read | fs::perms::owner_write,
          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}) {
        testing::writeBytes(dir / "kept.t1a", std::vector<uint8_t>(10, 1));
        fs::permissions(dir / "kept.t1a", mode);
        ASSERT_TRUE(
            writeFileReplacing("kept.t1a", image.data(), static_cast<uint32_t>(image.size())));
        EXPECT_EQ(permissionsOf(dir / "kept.t1a"), mode);
        EXPECT_EQ(testing::readBytes(dir / "kept.t1a"), image);
    }
    const mode_t previous = ::umask(027);
    const bool made =
        writeFileReplacing("fresh.t1a", image.data(), static_cast<uint32_t>(image.size()));
    ::umask(previous);
    ASSERT_TRUE(made);
    EXPECT_EQ(permissionsOf(dir / "fresh.t1a"),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The program's paths are Windows-1251; the file gets the name the user sees (UTF-8 on Linux).
TEST_F(DocumentFiles, ACyrillicNameIsWrittenAsTheUserSpellsIt) {
    const auto image = bytesOf(encodeFigure(figure(), 9));
    ASSERT_TRUE(writeFileReplacing("\xc7\xe2\xe5\xe7\xe4\xe0.t1a", image.data(),  // "Звезда"
                                   static_cast<uint32_t>(image.size())));
    EXPECT_EQ(testing::readBytes(dir / fs::path(u8"\u0417\u0432\u0435\u0437\u0434\u0430.t1a")),
              image);
    EXPECT_EQ(entriesIn(dir), 1u);
}
#endif

}  // namespace
}  // namespace kvarlo
