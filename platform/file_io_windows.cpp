// Reading and replacing whole files on Windows: a replacement is a temporary file from the
// system beside the target, moved over it. Paths go to the wide calls, so a Russian name is
// written as such whatever the system's code page.
#include <windows.h>

#include <algorithm>

#include "platform/file_io.h"
#include "platform/windows/wide_text.h"

namespace kvarlo {

namespace {

std::wstring folderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"/\\");
    if (slash == std::wstring::npos) {
        return L".";
    }
    // A root keeps its separator: "\\" and "C:\\" rather than "" and "C:".
    if (slash == 0 || (slash == 2 && path[1] == ':')) {
        return path.substr(0, slash + 1);
    }
    return path.substr(0, slash);
}

FileProblem problemOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_DIRECTORY:  // GetTempFileName's answer for a folder that does not exist
            return FileProblem::notFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return FileProblem::noPermission;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileProblem::diskFull;
        default:
            return FileProblem::other;
    }
}

bool fail(FileError& error, FileProblem problem, std::string reason) {
    error.problem = problem;
    error.reason = std::move(reason);
    return false;
}

// Fails with the problem that GetLastError names and the reason "what (error N)".
bool failWithLastError(FileError& error, const char* what) {
    const DWORD code = GetLastError();
    return fail(error, problemOf(code),
                std::string(what) + " (error " + std::to_string(code) + ")");
}

bool writeWhole(const wchar_t* path, std::span<const uint8_t> image) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(image.size());
    const bool ok = WriteFile(file, image.data(), count, &written, nullptr) && written == count &&
                    FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

}  // namespace

NativePath nativePathFromProgram(const char* programPath) {
    return NativePath{wide::widen(programPath)};
}

NativePath nativePathFromCommandLine(const std::string& path) {
    const int units =
        MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), text.data(), units);
    return NativePath{text};
}

bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image, FileError& error) {
    if (path.text.empty()) {
        return fail(error, FileProblem::noName, "no file name");
    }
    const DWORD attributes = GetFileAttributesW(path.text.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(error, FileProblem::isFolder, "is a directory");
    }
    // Refused before a temporary is made: the move would fail over it anyway.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return fail(error, FileProblem::noPermission, "is write-protected");
    }
    wchar_t temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folderOf(path.text).c_str(), L"kvl", 0, temporary) == 0) {
        return failWithLastError(error, "cannot create a file beside it");
    }
    if (!writeWhole(temporary, image)) {
        failWithLastError(error, "cannot write");
        DeleteFileW(temporary);
        return false;
    }
    if (!MoveFileExW(temporary, path.text.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failWithLastError(error, "cannot replace it");
        DeleteFileW(temporary);
        return false;
    }
    return true;
}

bool readRegularFile(const NativePath& path, size_t limit, bool refuseLarger,
                     std::vector<uint8_t>& bytes, FileError& error, uint64_t* fileSize) {
    if (path.text.empty()) {
        return fail(error, FileProblem::noName, "no file name");
    }
    const DWORD attributes = GetFileAttributesW(path.text.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return fail(error, FileProblem::isFolder, "is a directory");
    }
    HANDLE file = CreateFileW(path.text.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return failWithLastError(error, "cannot open");
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return fail(error, FileProblem::notRegularFile, "is not a regular file");
    }
    LARGE_INTEGER size{};
    if (fileSize && GetFileSizeEx(file, &size)) {
        *fileSize = static_cast<uint64_t>(size.QuadPart);
    }
    const size_t wanted = refuseLarger ? limit + 1 : limit;
    bytes.assign(wanted, 0);
    size_t done = 0;
    bool ok = true;
    while (done < wanted) {
        DWORD read = 0;
        const auto chunk = static_cast<DWORD>(std::min<size_t>(wanted - done, 1u << 30));
        if (!ReadFile(file, bytes.data() + done, chunk, &read, nullptr)) {
            ok = failWithLastError(error, "cannot read");
            break;
        }
        if (read == 0) {
            break;
        }
        done += read;
    }
    CloseHandle(file);
    bytes.resize(done);
    if (ok && refuseLarger && done > limit) {
        return fail(error, FileProblem::tooLarge,
                    "larger than " + std::to_string(limit) + " bytes, the most it may hold");
    }
    return ok;
}

}  // namespace kvarlo
