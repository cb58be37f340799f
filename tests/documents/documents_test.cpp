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

// Replaces the file at a program path (1251) with the image; why, when it fails.
bool replace(const char* path, const std::vector<uint8_t>& image, FileError* error = nullptr) {
    FileError ignored;
    return writeFileReplacing(path, image, error != nullptr ? *error : ignored);
}

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
    ASSERT_TRUE(openFigure(nullptr, world.board, name, "default.t1a").done());
    EXPECT_TRUE(test::sameBoard(world.board, figure()));
    EXPECT_STREQ(name.text, "default");
}

// Each refusal names its kind and the file, and changes nothing.
TEST_F(DocumentFiles, RefusedOrMissingFixedFileChangesNothing) {
    auto image = bytesOf(encodeFigure(figure(), 5));
    image.pop_back();
    testing::writeBytes(dir / "short.t1a", image);
    auto game = bytesOf(encodeGame(figure(), MoveHistory{}, GameState{}, 5));
    testing::writeBytes(dir / "game.t1a", game);
    fs::create_directory(dir / "folder.t1a");
    const std::string tooLong(fileNameBufferSize, 'a');
    struct Case {
        const char* file;
        DocumentOutcome outcome;
        FileProblem problem;
    };
    for (const Case& c : {
             Case{"short.t1a", DocumentOutcome::refused, FileProblem::none},
             Case{"game.t1a", DocumentOutcome::otherDocument, FileProblem::none},
             Case{"missing.t1a", DocumentOutcome::fileProblem, FileProblem::notFound},
             Case{"short.t1a/x.t1a", DocumentOutcome::fileProblem, FileProblem::notFound},
             Case{"folder.t1a", DocumentOutcome::fileProblem, FileProblem::isFolder},
             Case{"", DocumentOutcome::fileProblem, FileProblem::noName},
             Case{tooLong.c_str(), DocumentOutcome::nameTooLong, FileProblem::none},
         }) {
        test::World world;
        const test::World before = world;
        DocumentName name;
        setDocumentName(name, "/keep/me.t1b");
        const DocumentResult result = openFigure(nullptr, world.board, name, c.file);
        EXPECT_EQ(result.outcome, c.outcome) << c.file;
        EXPECT_EQ(result.problem, c.problem) << c.file;
        EXPECT_FALSE(result.saving);
        EXPECT_EQ(result.kind, DocumentKind::Figure);
        EXPECT_EQ(result.path, c.file);
        EXPECT_TRUE(test::sameWorld(world, before)) << c.file;
        EXPECT_STREQ(name.text, "/keep/me") << c.file;
    }
    test::World world;
    DocumentName name;
    EXPECT_EQ(openFigure(nullptr, world.board, name, "game.t1a").foundKind,
              static_cast<uint32_t>(DocumentKind::Game));
}

#ifndef _WIN32
// A FIFO is refused at once, without waiting for a writer that never comes.
TEST_F(DocumentFiles, AFifoIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo("pipe.t1a", 0600), 0);
    test::World world;
    DocumentName name;
    const DocumentResult result = openFigure(nullptr, world.board, name, "pipe.t1a");
    EXPECT_EQ(result.outcome, DocumentOutcome::fileProblem);
    EXPECT_EQ(result.problem, FileProblem::notRegularFile);
}
#endif

TEST_F(DocumentFiles, ReplacingAFileWritesItWholeAndLeavesNoTemporary) {
    testing::writeBytes(dir / "f.t1a", std::vector<uint8_t>(5000, 0x55));
    const auto image = bytesOf(encodeFigure(figure(), 9));
    ASSERT_TRUE(replace((dir / "f.t1a").string().c_str(), image));
    EXPECT_EQ(testing::readBytes(dir / "f.t1a"), image);
    EXPECT_EQ(entriesIn(dir), 1u);

    // A bare name goes to the current folder.
    ASSERT_TRUE(replace("g.t1a", image));
    EXPECT_EQ(testing::readBytes(dir / "g.t1a"), image);
    EXPECT_EQ(entriesIn(dir), 2u);
}

TEST_F(DocumentFiles, AFailedReplaceKeepsWhatWasThere) {
    const auto image = bytesOf(encodeFigure(figure(), 9));
    // The target is a folder: nothing is written.
    fs::create_directories(dir / "taken.t1a" / "inside");
    FileError error;
    EXPECT_FALSE(replace((dir / "taken.t1a").string().c_str(), image, &error));
    EXPECT_EQ(error.problem, FileProblem::isFolder) << error.reason;
    EXPECT_TRUE(fs::is_directory(dir / "taken.t1a" / "inside"));
    EXPECT_EQ(entriesIn(dir), 1u) << "the temporary file is removed again";

    // No folder to put the temporary file in.
    EXPECT_FALSE(replace((dir / "none" / "f.t1a").string().c_str(), image, &error));
    EXPECT_EQ(error.problem, FileProblem::notFound) << error.reason;
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
    ASSERT_TRUE(replace((dir / "second.t1a").string().c_str(), image));
    EXPECT_TRUE(fs::is_symlink(dir / "second.t1a"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.t1a"));
    EXPECT_EQ(fs::read_symlink(dir / "link.t1a"), fs::path("real/f.t1a"));
    EXPECT_EQ(testing::readBytes(dir / "real" / "f.t1a"), image);
    EXPECT_EQ(entriesIn(dir), 3u);
    EXPECT_EQ(entriesIn(dir / "real"), 1u) << "no temporary file is left";

    fs::create_symlink("real/new.t1a", dir / "ahead.t1a");
    ASSERT_TRUE(replace("ahead.t1a", image));
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
        ASSERT_TRUE(replace("kept.t1a", image));
        EXPECT_EQ(permissionsOf(dir / "kept.t1a"), mode);
        EXPECT_EQ(testing::readBytes(dir / "kept.t1a"), image);
    }
    const mode_t previous = ::umask(027);
    const bool made = replace("fresh.t1a", image);
    ::umask(previous);
    ASSERT_TRUE(made);
    EXPECT_EQ(permissionsOf(dir / "fresh.t1a"),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The program's paths are Windows-1251; the file gets the name the user sees (UTF-8 on Linux).
TEST_F(DocumentFiles, ACyrillicNameIsWrittenAsTheUserSpellsIt) {
    const auto image = bytesOf(encodeFigure(figure(), 9));
    ASSERT_TRUE(replace("\xc7\xe2\xe5\xe7\xe4\xe0.t1a", image));  // "Звезда"
    EXPECT_EQ(testing::readBytes(dir / fs::path(u8"\u0417\u0432\u0435\u0437\u0434\u0430.t1a")),
              image);
    EXPECT_EQ(entriesIn(dir), 1u);
}
#endif

}  // namespace
}  // namespace kvarlo
