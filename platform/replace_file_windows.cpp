// The whole-file replacement on Windows: a temporary file from the system beside the target,
// moved over it. Paths go to the wide calls, so a Russian name is written as such whatever the
// system's code page.
#include <windows.h>

#include "platform/replace_file.h"
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

bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image,
                         std::string& reason) {
    if (path.text.empty()) {
        reason = "no file name";
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.text.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a directory";
        return false;
    }
    wchar_t temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folderOf(path.text).c_str(), L"kvl", 0, temporary) == 0) {
        reason = "cannot create a file beside it";
        return false;
    }
    if (!writeWhole(temporary, image)) {
        reason = "cannot write";
        DeleteFileW(temporary);
        return false;
    }
    if (!MoveFileExW(temporary, path.text.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = "cannot replace it";
        DeleteFileW(temporary);
        return false;
    }
    return true;
}

}  // namespace kvarlo
