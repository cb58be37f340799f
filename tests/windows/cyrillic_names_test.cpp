// A figure saved under a Cyrillic file name opens again, and the name on disk is the Russian
// one, on a Windows whose code page is not 1251 (the test runs under such a locale).
#include <gtest/gtest.h>

#include <filesystem>

#include "documents/document_bytes.h"
#include "documents/documents.h"
#include "documents/file_format.h"
#include "support/test_files.h"

namespace kvarlo {
namespace {

namespace fs = std::filesystem;

Board figure() {
    Board board(7, 7);
    board.nodes[24].edges[0].hasMatch = 1;
    board.nodes[24].edges[2].hasMatch = 1;
    board.nodes[24].edges[2].movable = 1;
    return board;
}

TEST(CyrillicNames, AFigureSavedUnderARussianNameOpensAgain) {
    testing::TestFolder folder("kvarlo-cyrillic", true);
    // "Фигуры\Круг.t1a" in 1251, as the program's strings hold it.
    constexpr char folderName[] = "\xD4\xE8\xE3\xF3\xF0\xFB";
    constexpr char path[] = "\xD4\xE8\xE3\xF3\xF0\xFB\\\xCA\xF0\xF3\xE3.t1a";
    fs::create_directory(folder.path() / L"Фигуры");
    const auto image = encodeFigure(figure(), 5);
    FileError error;
    ASSERT_TRUE(writeFileReplacing(path, {image.data(), image.count()}, error)) << error.reason;

    // The file system holds the Russian name, and nothing else is left in the folder.
    EXPECT_TRUE(fs::exists(folder.path() / L"Фигуры" / L"Круг.t1a"));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(folder.path() / L"Фигуры"), fs::directory_iterator()),
        1);

    test::World world;
    DocumentName name;
    ASSERT_TRUE(openFigure(nullptr, world.board, name, path).done());
    EXPECT_TRUE(test::sameBoard(world.board, figure()));
    EXPECT_STREQ(name.text, (std::string(folderName) + "\\\xCA\xF0\xF3\xE3").c_str());
}

TEST(CyrillicNames, AFileNamedOutside1251IsNotReachedThroughAMangledName) {
    testing::TestFolder folder("kvarlo-cyrillic", true);
    testing::writeBytes(folder.path() / L"J\u00f6rg.t1a",
                        testing::bytesOf(encodeFigure(figure(), 5)));
    // What a code page 1252 system makes of the name, read as 1251: "Jцrg" is another file.
    test::World world;
    const test::World before = world;
    DocumentName name;
    const DocumentResult result = openFigure(nullptr, world.board, name, "J\xF6rg.t1a");
    EXPECT_EQ(result.outcome, DocumentOutcome::fileProblem);
    EXPECT_EQ(result.problem, FileProblem::notFound);
    EXPECT_TRUE(test::sameWorld(world, before));
}

}  // namespace
}  // namespace kvarlo
