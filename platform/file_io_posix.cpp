// Reading and replacing whole files on Linux, with the POSIX file calls.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>
#include <string_view>

#include "platform/cp1251.h"
#include "platform/file_io.h"

namespace kvarlo {

namespace {

// Symbolic links are followed at most this often, as the kernel does (ELOOP).
constexpr int maxLinkHops = 40;

FileProblem problemOf(int code) {
    switch (code) {
        case ENOENT:
        case ENOTDIR:
            return FileProblem::notFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileProblem::noPermission;
        case ENOSPC:
        case EDQUOT:
            return FileProblem::diskFull;
        case EISDIR:
            return FileProblem::isFolder;
        default:
            return FileProblem::other;
    }
}

// Fails with the problem that errno names and the reason "what: the system's words".
bool failWithErrno(FileError& error, const char* what) {
    const int code = errno;
    error.problem = problemOf(code);
    error.reason = std::string(what) + ": " + std::strerror(code);
    return false;
}

bool fail(FileError& error, FileProblem problem, std::string reason) {
    error.problem = problem;
    error.reason = std::move(reason);
    return false;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links to the path of the file they finally name, which need not exist yet
// (a link to a file still to be made is written through too).
bool resolveLinks(std::string& path, FileError& error) {
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                return true;
            }
            return failWithErrno(error, "cannot look at it");
        }
        if (!S_ISLNK(info.st_mode)) {
            return true;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size()) {
            return length < 0 ? failWithErrno(error, "cannot read the link")
                              : fail(error, FileProblem::other, "the link changed");
        }
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : folderOf(path) + "/" + target;
    }
    return fail(error, FileProblem::other, "too many levels of symbolic links");
}

// The temporaries this writer names: ".kvarlo-", six letters or digits, ".tmp". The name is short
// whatever the target's, so a target whose name has the most bytes a folder allows is saved too.
constexpr std::string_view temporaryPrefix = ".kvarlo-";
constexpr std::string_view temporarySuffix = ".tmp";
constexpr size_t temporaryTagLength = 6;
constexpr std::string_view temporaryTagLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// A temporary of ours untouched for this long was left by a writer that died: a save still
// being written is newer, so the next save into the folder may remove it.
constexpr time_t staleTemporarySeconds = 60;

std::string freshTemporaryName() {
    std::random_device random;
    uint64_t tag = (uint64_t{random()} << 32) ^ random();
    std::string name(temporaryPrefix);
    for (size_t i = 0; i < temporaryTagLength; ++i) {
        name += temporaryTagLetters[tag % temporaryTagLetters.size()];
        tag /= temporaryTagLetters.size();
    }
    return name += temporarySuffix;
}

bool isOurTemporaryName(std::string_view name) {
    if (name.size() != temporaryPrefix.size() + temporaryTagLength + temporarySuffix.size() ||
        !name.starts_with(temporaryPrefix) || !name.ends_with(temporarySuffix)) {
        return false;
    }
    const std::string_view tag = name.substr(temporaryPrefix.size(), temporaryTagLength);
    return tag.find_first_not_of(temporaryTagLetters) == std::string_view::npos;
}

// A replaced file's permissions go to its successor, and its owner too where we may (a file of
// ours keeps its group). A new file keeps the usual ones (0666 less the umask, which open
// applies).
void giveOldPermissions(int fd, const struct stat* old) {
    if (!old) {
        return;
    }
    if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
        [[maybe_unused]] const int ignored = ::fchown(fd, old->st_uid, old->st_gid);
    }
    ::fchmod(fd, old->st_mode & 07777);
}

// A file in `folder` without a name: a writer killed before it is complete leaves nothing.
int openAnonymous(const std::string& folder, const struct stat* old) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, old ? 0600 : 0666);
    if (fd >= 0) {
        giveOldPermissions(fd, old);
    }
    return fd;
}

// The errors with which a file system without anonymous files (or an older kernel) answers.
bool anonymousUnsupported(int code) {
    return code == EOPNOTSUPP || code == EISDIR || code == EINVAL;
}

// Gives the anonymous file open at `fd` a fresh temporary name in `folder`: through /proc, or,
// where /proc is missing, directly (which needs a privilege most users lack).
bool linkAnonymous(int fd, const std::string& folder, std::string& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + "/" + freshTemporaryName();
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT &&
             ::linkat(fd, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH) == 0)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

// Creates a named temporary file of a fresh name in `folder`.
int createNamed(const std::string& folder, const struct stat* old, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + "/" + freshTemporaryName();
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
        if (fd >= 0) {
            giveOldPermissions(fd, old);
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, std::span<const uint8_t> image) {
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = ::write(fd, image.data() + done, image.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return ::fsync(fd) == 0;
}

// Closes `fd` after work that succeeded or not. A close that fails after everything else
// succeeded is the failure (a delayed write error shows up there); otherwise errno stays the
// work's.
bool closeAfter(int fd, bool succeeded) {
    const int code = errno;
    const bool closed = ::close(fd) == 0;
    if (!succeeded) {
        errno = code;
    }
    return succeeded && closed;
}

bool writeNamed(const std::string& folder, const struct stat* old, std::span<const uint8_t> image,
                std::string& temporary, FileError& error) {
    const int fd = createNamed(folder, old, temporary);
    if (fd < 0) {
        return failWithErrno(error, "cannot create a file beside it");
    }
    if (!closeAfter(fd, writeAll(fd, image))) {
        failWithErrno(error, "cannot write");
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Writes the image to a new file in `folder`, named `temporary` only once it is complete where
// the file system allows; otherwise under that name from the start.
bool writeTemporary(const std::string& folder, const struct stat* old,
                    std::span<const uint8_t> image, std::string& temporary, FileError& error) {
    const int fd = openAnonymous(folder, old);
    if (fd < 0 && !anonymousUnsupported(errno)) {
        return failWithErrno(error, "cannot create a file beside it");
    }
    if (fd >= 0) {
        if (!writeAll(fd, image)) {
            closeAfter(fd, false);
            return failWithErrno(error, "cannot write");
        }
        const bool linked = linkAnonymous(fd, folder, temporary);
        if (closeAfter(fd, linked)) {
            return true;
        }
        if (linked) {
            failWithErrno(error, "cannot write");
            ::unlink(temporary.c_str());
            return false;
        }
        // No way to name it here (no /proc, no privilege): written again, named from the start.
    }
    return writeNamed(folder, old, image, temporary, error);
}

// Makes the renamed entry durable; a folder that cannot be synced is no failure of the write.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Removes the temporaries of ours that writers which died left in `folder`: names of our exact
// pattern only, regular files only, and only those untouched for a while.
void removeStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat info {};
        if (isOurTemporaryName(entry->d_name) &&
            ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && now - info.st_mtime > staleTemporarySeconds) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// A save replaces only a file the user may change. The folder alone would let the rename
// through (a write-protected file, or another user's in a folder open to all), so the file's
// own permission is asked for first, as the user who saves.
bool checkReplaceable(const std::string& target, const struct stat& old, FileError& error) {
    if (S_ISDIR(old.st_mode)) {
        return fail(error, FileProblem::isFolder, "is a directory");
    }
    if (!S_ISREG(old.st_mode)) {
        return fail(error, FileProblem::notRegularFile, "is not a regular file");
    }
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return errno == EACCES || errno == EPERM
                   ? fail(error, FileProblem::noPermission, "is write-protected")
                   : failWithErrno(error, "cannot check that it may be written");
    }
    return true;
}

// Reads an open file that must be a regular one, up to `limit` bytes (one more to see whether
// it is larger).
bool readOpenFile(int fd, size_t limit, bool refuseLarger, std::vector<uint8_t>& bytes,
                  FileError& error, uint64_t* fileSize) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return failWithErrno(error, "cannot look at it");
    }
    if (S_ISDIR(info.st_mode)) {
        return fail(error, FileProblem::isFolder, "is a directory");
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(error, FileProblem::notRegularFile, "is not a regular file");
    }
    if (fileSize) {
        *fileSize = static_cast<uint64_t>(info.st_size);
    }
    const size_t wanted = refuseLarger ? limit + 1 : limit;
    bytes.assign(std::min<size_t>(wanted, static_cast<size_t>(info.st_size) + 1), 0);
    size_t done = 0;
    while (done < wanted) {
        if (done == bytes.size()) {  // the file grew since it was looked at
            bytes.resize(std::min(wanted, bytes.size() * 2));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return failWithErrno(error, "cannot read");
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    if (refuseLarger && done > limit) {
        return fail(error, FileProblem::tooLarge,
                    "larger than " + std::to_string(limit) + " bytes, the most it may hold");
    }
    return true;
}

}  // namespace

NativePath nativePathFromProgram(const char* programPath) {
    return NativePath{programPath ? cp1251ToUtf8(programPath) : std::string()};
}

NativePath nativePathFromCommandLine(const std::string& path) {
    return NativePath{path};
}

bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image, FileError& error) {
    std::string target = path.bytes;
    if (target.empty()) {
        return fail(error, FileProblem::noName, "no file name");
    }
    if (!resolveLinks(target, error)) {
        return false;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !checkReplaceable(target, old, error)) {
        return false;
    }
    const std::string folder = folderOf(target);
    std::string temporary;
    if (!writeTemporary(folder, exists ? &old : nullptr, image, temporary, error)) {
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        failWithErrno(error, "cannot replace it");
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folder);
    removeStaleTemporaries(folder);
    return true;
}

bool readRegularFile(const NativePath& path, size_t limit, bool refuseLarger,
                     std::vector<uint8_t>& bytes, FileError& error, uint64_t* fileSize) {
    if (path.bytes.empty()) {
        return fail(error, FileProblem::noName, "no file name");
    }
    // Without O_NONBLOCK, opening a FIFO waits for a writer: the check comes after the open.
    const int fd = ::open(path.bytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return failWithErrno(error, "cannot open");
    }
    const bool read = readOpenFile(fd, limit, refuseLarger, bytes, error, fileSize);
    ::close(fd);
    return read;
}

}  // namespace kvarlo
