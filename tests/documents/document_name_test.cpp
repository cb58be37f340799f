// The shared document name: where a path is cut, and the names that saves propose.
#include "documents/document_name.h"

#include <gtest/gtest.h>

#include <string>

namespace kvarlo {
namespace {

std::string named(const char* path) {
    DocumentName name;
    setDocumentName(name, path);
    return name.text;
}

TEST(DocumentName, StartsUntitledAndProposesItsExtension) {
    DocumentName name;
    EXPECT_STREQ(name.text, "untitled");
    char proposed[documentNameStorage];
    ASSERT_TRUE(composeProposedName(name, "t1a", proposed, sizeof proposed));
    EXPECT_STREQ(proposed, "untitled.t1a");
}

TEST(DocumentName, DropsTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(named("C:\\figs\\star.t1a"), "C:\\figs\\star");
    EXPECT_EQ(named("/home/u/star.t1b"), "/home/u/star");
    EXPECT_EQ(named("default.t1a"), "default");
    EXPECT_EQ(named("archive.tar.t1c"), "archive.tar");
    // A dot in a folder's name is not an extension.
    EXPECT_EQ(named("/a.b/c"), "/a.b/c");
    EXPECT_EQ(named("C:\\a.b\\c"), "C:\\a.b\\c");
    EXPECT_EQ(named("C:\\a.b/c.d\\e"), "C:\\a.b/c.d\\e");
    EXPECT_EQ(named(""), "");
    EXPECT_EQ(named(nullptr), "");
}

TEST(DocumentName, KeepsTheFirst255CharactersBeforeLookingForTheDot) {
    const std::string folder = "/x.y/";
    const std::string stem(300, 'a');
    // The extension falls past the kept characters, so nothing is cut from what remains.
    const std::string path = folder + stem + ".t1a";
    EXPECT_EQ(named(path.c_str()), path.substr(0, 255));

    const std::string shortStem(240, 'b');
    EXPECT_EQ(named((folder + shortStem + ".t1a").c_str()), folder + shortStem);
}

TEST(DocumentName, AlreadyCutNamesAndSiblingsProposeTheirOwnExtension) {
    DocumentName name;
    setDocumentName(name, "C:\\figs\\star.t1a");
    char proposed[documentNameStorage];
    ASSERT_TRUE(composeProposedName(name, "t1b", proposed, sizeof proposed));
    EXPECT_STREQ(proposed, "C:\\figs\\star.t1b");
    ASSERT_TRUE(composeProposedName(name, "t1c", proposed, sizeof proposed));
    EXPECT_STREQ(proposed, "C:\\figs\\star.t1c");
    char tiny[8];
    EXPECT_FALSE(composeProposedName(name, "t1c", tiny, sizeof tiny));
}

}  // namespace
}  // namespace kvarlo
