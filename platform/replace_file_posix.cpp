// The whole-file replacement on Linux, with the POSIX file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "platform/cp1251.h"
#include "platform/replace_file.h"

namespace kvarlo {

namespace {

// Symbolic links are followed at most this often, as the kernel does (ELOOP).
constexpr int maxLinkHops = 40;

std::string withError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
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
bool resolveLinks(std::string& path, std::string& reason) {
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                return true;
            }
            reason = withError("cannot look at it");
            return false;
        }
        if (!S_ISLNK(info.st_mode)) {
            return true;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size()) {
            reason = length < 0 ? withError("cannot read the link") : "the link changed";
            return false;
        }
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : folderOf(path) + "/" + target;
    }
    reason = "too many levels of symbolic links";
    return false;
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

}  // namespace

NativePath nativePathFromProgram(const char* programPath) {
    return NativePath{programPath ? cp1251ToUtf8(programPath) : std::string()};
}

NativePath nativePathFromCommandLine(const std::string& path) {
    return NativePath{path};
}

bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image,
                         std::string& reason) {
    std::string target = path.bytes;
    if (target.empty()) {
        reason = "no file name";
        return false;
    }
    if (!resolveLinks(target, reason)) {
        return false;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        reason = "is a directory";
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        reason = "is not a regular file";
        return false;
    }
    const std::string folder = folderOf(target);
    std::string temporary;
    const int fd = createTemporary(folder, nameOf(target), exists ? &old : nullptr, temporary);
    if (fd < 0) {
        reason = withError("cannot create a file beside it");
        return false;
    }
    bool written = writeAll(fd, image);
    if (!written) {
        reason = withError("cannot write");
    }
    if (::close(fd) != 0 && written) {
        reason = withError("cannot write");
        written = false;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        reason = withError("cannot replace it");
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

}  // namespace kvarlo
