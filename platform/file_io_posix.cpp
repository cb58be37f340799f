// Reading and replacing whole files on Linux, with the POSIX file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

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

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

// Creates a temporary file of a fresh name in `folder`. A replaced file's permissions are given
// to it; a new file gets the usual ones (0666 less the umask, which open applies).
int createTemporary(const std::string& folder, const std::string& name, const struct stat* old,
                    std::string& temporary) {
    static std::atomic<uint32_t> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + "/." + name + "." + std::to_string(random() % 1000000) + "-" +
                    std::to_string(counter++) + ".tmp";
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
        if (fd >= 0) {
            if (old) {
                // The owner too, where we may (a file of ours keeps its group).
                if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
                    [[maybe_unused]] const int ignored = ::fchown(fd, old->st_uid, old->st_gid);
                }
                ::fchmod(fd, old->st_mode & 07777);
            }
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

// Makes the renamed entry durable; a folder that cannot be synced is no failure of the write.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Reads an open file that must be a regular one, up to `limit` bytes (one more to see whether
// it is larger).
bool readOpenFile(int fd, size_t limit, bool refuseLarger, std::vector<uint8_t>& bytes,
                  FileError& error) {
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
    if (exists && S_ISDIR(old.st_mode)) {
        return fail(error, FileProblem::isFolder, "is a directory");
    }
    if (exists && !S_ISREG(old.st_mode)) {
        return fail(error, FileProblem::notRegularFile, "is not a regular file");
    }
    const std::string folder = folderOf(target);
    std::string temporary;
    const int fd = createTemporary(folder, nameOf(target), exists ? &old : nullptr, temporary);
    if (fd < 0) {
        return failWithErrno(error, "cannot create a file beside it");
    }
    bool written = writeAll(fd, image) || failWithErrno(error, "cannot write");
    if (::close(fd) != 0 && written) {
        written = failWithErrno(error, "cannot write");
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        failWithErrno(error, "cannot replace it");
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

bool readRegularFile(const NativePath& path, size_t limit, bool refuseLarger,
                     std::vector<uint8_t>& bytes, FileError& error) {
    if (path.bytes.empty()) {
        return fail(error, FileProblem::noName, "no file name");
    }
    // Without O_NONBLOCK, opening a FIFO waits for a writer: the check comes after the open.
    const int fd = ::open(path.bytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return failWithErrno(error, "cannot open");
    }
    const bool read = readOpenFile(fd, limit, refuseLarger, bytes, error);
    ::close(fd);
    return read;
}

}  // namespace kvarlo
