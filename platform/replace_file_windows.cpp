// The whole-file replacement on Windows: a temporary file from the system beside the target,
// moved over it. Paths are ANSI, as everywhere else in the program.
#include <windows.h>

#include "platform/replace_file.h"

namespace kvarlo {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        return ".";
    }
    // A root keeps its separator: "\\" and "C:\\" rather than "" and "C:".
    if (slash == 0 || (slash == 2 && path[1] == ':')) {
        return path.substr(0, slash + 1);
    }
    return path.substr(0, slash);
}

bool writeWhole(const char* path, std::span<const uint8_t> image) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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
    return NativePath{programPath ? programPath : ""};
}

bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image,
                         std::string& reason) {
    if (path.bytes.empty()) {
        reason = "no file name";
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path.bytes.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a directory";
        return false;
    }
    char temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folderOf(path.bytes).c_str(), "kvl", 0, temporary) == 0) {
        reason = "cannot create a file beside it";
        return false;
    }
    if (!writeWhole(temporary, image)) {
        reason = "cannot write";
        DeleteFileA(temporary);
        return false;
    }
    if (!MoveFileExA(temporary, path.bytes.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = "cannot replace it";
        DeleteFileA(temporary);
        return false;
    }
    return true;
}

}  // namespace kvarlo
