// Replacing a file's contents whole, as careful editors do: the new contents go to a temporary
// file beside the file they replace and are renamed over it, so the old contents stay until the
// new ones are complete. A symbolic link is written through to the file it names and stays a
// link; the replaced file's permissions stay as they were. One writer for the program's saves
// and the command-line tool's outputs.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kvarlo {

// A path as this system's own file calls spell it: UTF-8 bytes on Linux, UTF-16 for the wide
// calls on Windows (whose ANSI calls would read it in the system's code page, 1251 only on a
// Russian Windows). The program holds its paths in Windows-1251 and the command line gives the
// system's own; keeping the two apart by type means neither is ever converted twice or not at
// all.
struct NativePath {
#ifdef _WIN32
    std::wstring text;
#else
    std::string bytes;
#endif
};

// The native form of a path the program holds (Windows-1251).
NativePath nativePathFromProgram(const char* programPath);

// The native form of a path given on the command line (the system's own narrow encoding).
NativePath nativePathFromCommandLine(const std::string& path);

// Writes `image` in place of the file at `path` (created when missing). False with a short
// reason ("is a directory", "cannot write: No space left on device", ...) when anything fails;
// the old file is then left exactly as it was and no temporary file stays behind.
bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image,
                         std::string& reason);

}  // namespace kvarlo
