// Reading whole files: regular files only, refused at once otherwise, never past the limit.
// Replacing them: whole or not at all, nothing left beside them, never a file the user may not
// write.
#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "support/unprivileged.h"

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

// ---- replacing ----------------------------------------------------------------------------

std::set<std::string> namesIn(const testing::fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : testing::fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

bool save(const testing::fs::path& path, const std::vector<uint8_t>& image, FileError& error) {
    return replaceFileContents(native(path), image, error);
}

// Runs `work` in a child process and gives its exit status, or 128 + the signal that ended it.
int inChild(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// Saves as an ordinary user (nobody, when the tests run as root as they do in CI): 0 when the
// save succeeded, else 10 + the problem.
int saveAsOrdinaryUser(const testing::fs::path& path, const std::vector<uint8_t>& image) {
    return testing::runUnprivileged([&] {
        FileError error;
        return save(path, image, error) ? 0 : 10 + static_cast<int>(error.problem);
    });
}

TEST(ReplaceFileContents, SavesANameOfTheMostBytesAFolderAllows) {
    testing::TestFolder folder("kvarlo-file-io");
    const std::string name = std::string(255 - 4, 'f') + ".t1a";
    const std::vector<uint8_t> first(100, 1), second(200, 2);
    FileError error;
    ASSERT_TRUE(save(folder / name, first, error)) << error.reason;
    ASSERT_TRUE(save(folder / name, second, error)) << error.reason;
    EXPECT_EQ(testing::readBytes(folder / name), second);
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{name});
}

// The child is stopped by the kernel in the middle of its write, deterministically: a file
// size limit below the image's size ends it with SIGXFSZ, as a kill -9 at that point would.
// Nothing it was writing may stay beside the old file.
TEST(ReplaceFileContents, AWriterKilledMidwayLeavesTheOldFileAndNothingElse) {
    testing::TestFolder folder("kvarlo-file-io");
    const std::vector<uint8_t> old(100, 1);
    testing::writeBytes(folder / "f.t1a", old);
    const int ended = inChild([&] {
        const rlimit noCore{0, 0}, small{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &small);
        FileError error;
        return save(folder / "f.t1a", std::vector<uint8_t>(65536, 2), error) ? 0 : 1;
    });
    EXPECT_EQ(ended, 128 + SIGXFSZ);
    EXPECT_EQ(testing::readBytes(folder / "f.t1a"), old);
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"f.t1a"});
}

// What a writer killed without an anonymous file leaves is removed by the next save into the
// folder once it is a minute old; a newer one may be a save still being written, and a file of
// another pattern, a folder or a link is not ours.
TEST(ReplaceFileContents, RemovesOnlyStaleTemporariesOfItsOwnPattern) {
    testing::TestFolder folder("kvarlo-file-io");
    const std::vector<std::string> kept = {
        ".kvarlo-Fresh1.tmp", ".kvarlo-Ab3dE9.tmp~", ".kvarlo-Ab3dE.tmp",  ".kvarlo-Ab3d-9.tmp",
        "kvarlo-Ab3dE9.tmp",  ".f.t1a.123456-0.tmp", ".kvarlo-Folder.tmp", ".kvarlo-Linked.tmp",
    };
    for (const std::string& name : kept) {
        if (name == ".kvarlo-Folder.tmp") {
            testing::fs::create_directory(folder / name);
        } else if (name == ".kvarlo-Linked.tmp") {
            testing::fs::create_symlink("f.t1a", folder / name);
        } else {
            testing::writeBytes(folder / name, {1});
        }
    }
    testing::writeBytes(folder / ".kvarlo-Stale9.tmp", {1});
    const timespec twoMinutesAgo{::time(nullptr) - 120, 0};
    const timespec times[2] = {twoMinutesAgo, twoMinutesAgo};
    for (const auto& entry : testing::fs::directory_iterator(folder.path())) {
        if (entry.path().filename() != ".kvarlo-Fresh1.tmp") {
            ASSERT_EQ(::utimensat(AT_FDCWD, entry.path().c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        }
    }
    FileError error;
    ASSERT_TRUE(save(folder / "f.t1a", {7}, error)) << error.reason;
    std::set<std::string> expected(kept.begin(), kept.end());
    expected.insert("f.t1a");
    EXPECT_EQ(namesIn(folder.path()), expected);
}

// The rename would go through (the folder lets the user replace the entry), but the file itself
// is not the user's to change: write-protected, or another user's. Each is refused and stays
// as it was, owner and all; a file the user may write is saved, so the refusals are the files'.
TEST(ReplaceFileContents, RefusesAFileTheUserMayNotWrite) {
    testing::TestFolder folder("kvarlo-file-io");
    testing::fs::permissions(folder.path(), testing::fs::perms::all);
    const std::vector<uint8_t> old(100, 1), image(50, 2);
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? testing::nobody : ::geteuid();
    const gid_t group = root ? testing::nobody : ::getegid();
    for (const char* name : {"mine.t1a", "protected.t1a"}) {
        testing::writeBytes(folder / name, old);
        ASSERT_EQ(::chown((folder / name).c_str(), user, group), 0);
    }
    ::chmod((folder / "protected.t1a").c_str(), 0444);

    EXPECT_EQ(saveAsOrdinaryUser(folder / "mine.t1a", image), 0);
    EXPECT_EQ(testing::readBytes(folder / "mine.t1a"), image);
    EXPECT_EQ(saveAsOrdinaryUser(folder / "protected.t1a", image),
              10 + static_cast<int>(FileProblem::noPermission));
    EXPECT_EQ(testing::readBytes(folder / "protected.t1a"), old);
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"mine.t1a", "protected.t1a"}));
    if (!root) {
        GTEST_SKIP() << "another user's file needs root to make";
    }
    testing::writeBytes(folder / "root-owned.t1a", old);
    EXPECT_EQ(saveAsOrdinaryUser(folder / "root-owned.t1a", image),
              10 + static_cast<int>(FileProblem::noPermission));
    EXPECT_EQ(testing::readBytes(folder / "root-owned.t1a"), old);
    struct stat info {};
    ASSERT_EQ(::stat((folder / "root-owned.t1a").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
}

}  // namespace
}  // namespace kvarlo
