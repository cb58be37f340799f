// Reading whole files: regular files only, refused at once otherwise, never past the limit.
#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/test_files.h"

namespace kvarlo {
namespace {

NativePath native(const testing::fs::path& path) {
    return nativePathFromCommandLine(path.string());
}

TEST(ReadRegularFile, ReadsAtMostTheLimitOrRefusesALargerFileWhenAsked) {
    testing::TestFolder folder("kvarlo-file-io");
    const std::vector<uint8_t> ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    testing::writeBytes(folder / "ten", ten);

    std::vector<uint8_t> bytes;
    FileError error;
    ASSERT_TRUE(readRegularFile(native(folder / "ten"), 4, false, bytes, error));
    EXPECT_EQ(bytes, std::vector<uint8_t>(ten.begin(), ten.begin() + 4));
    ASSERT_TRUE(readRegularFile(native(folder / "ten"), 10, true, bytes, error));
    EXPECT_EQ(bytes, ten);
    ASSERT_TRUE(readRegularFile(native(folder / "ten"), 1000, true, bytes, error));
    EXPECT_EQ(bytes, ten);

    EXPECT_FALSE(readRegularFile(native(folder / "ten"), 9, true, bytes, error));
    EXPECT_EQ(error.problem, FileProblem::tooLarge);
    EXPECT_NE(error.reason.find("9 bytes"), std::string::npos) << error.reason;
}

TEST(ReadRegularFile, NamesWhatIsWrongWithAnythingButAFile) {
    testing::TestFolder folder("kvarlo-file-io");
    std::vector<uint8_t> bytes;
    FileError error;
    EXPECT_FALSE(readRegularFile(native(folder / "missing"), 10, false, bytes, error));
    EXPECT_EQ(error.problem, FileProblem::notFound);
    EXPECT_FALSE(readRegularFile(native(folder.path()), 10, false, bytes, error));
    EXPECT_EQ(error.problem, FileProblem::isFolder);
    EXPECT_FALSE(readRegularFile(NativePath{}, 10, false, bytes, error));
    EXPECT_EQ(error.problem, FileProblem::noName);
}

// A FIFO with no writer would block a plain open for ever; it is refused at once. The test would
// hang until CTest's timeout where that broke.
TEST(ReadRegularFile, RefusesAFifoWithoutWaitingForAWriter) {
    testing::TestFolder folder("kvarlo-file-io");
    const auto fifo = folder / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> bytes;
    FileError error;
    EXPECT_FALSE(readRegularFile(native(fifo), 10, false, bytes, error));
    EXPECT_EQ(error.problem, FileProblem::notRegularFile);
    EXPECT_FALSE(readRegularFile(NativePath{"/dev/zero"}, 10, false, bytes, error));
    EXPECT_EQ(error.problem, FileProblem::notRegularFile);
}

}  // namespace
}  // namespace kvarlo
