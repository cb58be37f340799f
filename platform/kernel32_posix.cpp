// KERNEL32 on POSIX: files, directories, the executable's name and the last error. Nothing here
// needs Qt or a running application: the Linux layer and the browser's (over emscripten's file
// system) both use it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#include "platform/cp1251.h"
#include "platform/win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// A file HANDLE points at one of these. Only handles in the open set are accepted, so a closed
// or made-up handle is refused instead of being read through.
struct FileObject {
    int fd = -1;
};

std::mutex openFilesMutex;
std::unordered_set<const FileObject*>& openFiles() {
    static auto* files = new std::unordered_set<const FileObject*>;
    return *files;
}

DWORD errorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENXIO:  // a FIFO without a reader, opened for writing without waiting; a socket
            return ERROR_BAD_FILE_TYPE;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

// Opens a path that must name a regular file. A plain open of a FIFO waits for the other end,
// and the program would hang before its window is drawn, so the open does not wait and the
// type is checked on what was opened; later reads and writes wait as usual. The last error is
// set on failure.
int openRegularFile(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) {
        SetLastError(errorFromErrno(errno));
        return -1;
    }
    struct stat info {};
    DWORD refusal = ERROR_SUCCESS;
    if (::fstat(fd, &info) != 0) {
        refusal = errorFromErrno(errno);
    } else if (S_ISDIR(info.st_mode)) {  // Windows refuses to open a folder as a file
        refusal = ERROR_ACCESS_DENIED;
    } else if (!S_ISREG(info.st_mode)) {
        refusal = ERROR_BAD_FILE_TYPE;
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        refusal = errorFromErrno(errno);
    }
    if (refusal != ERROR_SUCCESS) {
        ::close(fd);
        SetLastError(refusal);
        return -1;
    }
    return fd;
}

FileObject* fileFromHandle(HANDLE handle) {
    std::lock_guard lock(openFilesMutex);
    auto* file = static_cast<FileObject*>(handle);
    return openFiles().count(file) != 0 ? file : nullptr;
}

// A program path (1251) as the file system spells it; empty names are refused.
bool systemPath(LPCSTR name, std::string& out) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    out = kvarlo::cp1251ToUtf8(name);
    return true;
}

// Copies a system string into a caller's 1251 buffer with the usual size contract: the length
// without terminator on success, the size needed (with terminator) when the buffer is short.
DWORD copyOut(const std::string& utf8, LPSTR buffer, DWORD size) {
    const auto text = kvarlo::utf8ToCp1251(utf8);
    if (!text) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (buffer == nullptr || text->size() + 1 > size)
        return static_cast<DWORD>(text->size() + 1);
    std::memcpy(buffer, text->c_str(), text->size() + 1);
    return static_cast<DWORD>(text->size());
}

}  // namespace

DWORD WINAPI GetLastError(void) {
    return lastError;
}
void WINAPI SetLastError(DWORD error) {
    lastError = error;
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD /*shareMode: not emulated*/,
                          LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flagsAndAttributes,
                          HANDLE) {
    std::string path;
    if (!systemPath(fileName, path))
        return INVALID_HANDLE_VALUE;
    int flags = O_CLOEXEC;
    const bool reading = (access & GENERIC_READ) != 0;
    const bool writing = (access & GENERIC_WRITE) != 0;
    flags |= reading && writing ? O_RDWR : writing ? O_WRONLY : O_RDONLY;
    switch (disposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            if (!writing) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            flags |= O_TRUNC;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    if (flagsAndAttributes & FILE_FLAG_WRITE_THROUGH)
        flags |= O_DSYNC;
    const int fd = openRegularFile(path, flags);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    if (flagsAndAttributes & FILE_FLAG_SEQUENTIAL_SCAN)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    auto* file = new FileObject;
    file->fd = fd;
    {
        std::lock_guard lock(openFilesMutex);
        openFiles().insert(file);
    }
    SetLastError(ERROR_SUCCESS);
    return file;
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED) {
    if (read)
        *read = 0;
    FileObject* file = fileFromHandle(handle);
    if (!file || (buffer == nullptr && toRead > 0)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < toRead) {  // one call reads everything up to the end, like a Windows disk file
        const ssize_t n = ::read(file->fd, static_cast<char*>(buffer) + done, toRead - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastError(errorFromErrno(errno));
            if (read)
                *read = done;
            return FALSE;
        }
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (read)
        *read = done;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
    if (written)
        *written = 0;
    FileObject* file = fileFromHandle(handle);
    if (!file || (buffer == nullptr && toWrite > 0)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD done = 0;
    while (done < toWrite) {
        const ssize_t n =
            ::write(file->fd, static_cast<const char*>(buffer) + done, toWrite - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastError(errorFromErrno(errno));
            if (written)
                *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written)
        *written = done;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    FileObject* file = fileFromHandle(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(openFilesMutex);
        openFiles().erase(file);
    }
    const int result = ::close(file->fd);
    delete file;
    if (result != 0) {  // a delayed write error shows up here; report it
        SetLastError(errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE handle) {
    FileObject* file = fileFromHandle(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (::fsync(file->fd) != 0) {
        SetLastError(errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
    FileObject* file = fileFromHandle(handle);
    struct stat info {};
    if (!file || ::fstat(file->fd, &info) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    std::string path(4096, '\0');
    if (::getcwd(path.data(), path.size()) == nullptr) {
        SetLastError(errorFromErrno(errno));
        return 0;
    }
    path.resize(std::strlen(path.c_str()));
    return copyOut(path, buffer, bufferLength);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR name) {
    std::string path;
    if (!systemPath(name, path))
        return FALSE;
    if (::chdir(path.c_str()) != 0) {
        SetLastError(errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
#ifdef __EMSCRIPTEN__
    // The page's program lives in its read-only folder, beside the manual and the pages it opens.
    const char path[] = "/app/kvarlo";
    const ssize_t n = sizeof path - 1;
#else
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        SetLastError(errorFromErrno(errno));
        return 0;
    }
#endif
    const auto text = kvarlo::utf8ToCp1251(std::string_view(path, static_cast<size_t>(n)));
    if (!text) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Windows truncates to size - 1 characters, terminates, and answers size.
    if (text->size() >= size) {
        std::memcpy(buffer, text->data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, text->c_str(), text->size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(text->size());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // One module: the program itself. Its handle only has to be non-null and stable.
    static HINSTANCE__ module{};
    if (moduleName != nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return &module;
}

namespace {

bool renameFile(const std::string& from, const std::string& to, bool replace) {
#ifdef __EMSCRIPTEN__
    // The page's file system has one process and no renameat2: a look first is enough there.
    // Its rename over an existing file leaves the old entry behind, so that one goes first.
    struct stat existing {};
    if (::stat(to.c_str(), &existing) == 0) {
        if (!replace) {
            errno = EEXIST;
            return false;
        }
        if (::unlink(to.c_str()) != 0)
            return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
#else
    const unsigned flags = replace ? 0 : RENAME_NOREPLACE;
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0;
#endif
}

}  // namespace

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags) {
    std::string from, to;
    if (!systemPath(existing, from) || !systemPath(target, to))
        return FALSE;
    if (!renameFile(from, to, (flags & MOVEFILE_REPLACE_EXISTING) != 0)) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : errorFromErrno(errno));
        return FALSE;
    }
    if (flags & MOVEFILE_WRITE_THROUGH) {  // make the new directory entry durable
        const auto slash = to.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : to.substr(0, slash);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    std::string path;
    if (!systemPath(fileName, path))
        return FALSE;
    if (::unlink(path.c_str()) != 0) {
        SetLastError(errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
    if (path == nullptr || tempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string folder(*path != '\0' ? path : ".");
    if (folder.back() != '/' && folder.back() != '\\')
        folder += '/';
    const std::string stem = prefix ? std::string(prefix).substr(0, 3) : std::string();
    // Like Windows: a given number names the file without creating it; 0 means find a free
    // number and create the file, so two callers never get the same name.
    UINT number =
        unique ? unique & 0xFFFF : static_cast<UINT>((::getpid() ^ std::time(nullptr)) & 0xFFFF);
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        if (number == 0)
            number = 1;
        char tail[16];
        std::snprintf(tail, sizeof tail, "%X.tmp", number);
        const std::string name = folder + stem + tail;
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        if (unique) {
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return unique;
        }
        const std::string system = kvarlo::cp1251ToUtf8(name);
        const int fd = ::open(system.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        if (errno != EEXIST) {
            SetLastError(errorFromErrno(errno));
            return 0;
        }
        number = (number + 1) & 0xFFFF;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

void WINAPI Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
