// Reading and replacing whole files with the system's own calls, for the program's saves and the
// command-line tool's inputs and outputs.
//
// Replacing is done as careful editors do: the new contents go to a temporary file beside the
// file they replace and are renamed over it, so the old contents stay until the new ones are
// complete. The temporary has no name until it is complete where the file system allows
// (Linux), so a writer killed midway leaves nothing behind; its name is short whatever the
// target's. A symbolic link is written through to the file it names and stays a link; the
// replaced file's permissions stay as they were. A file the user may not write (write-protected,
// or another user's) is refused although its folder would let the rename through. The rename
// gives the name a new file, so another hard link to the old one keeps the old contents.
//
// Reading takes regular files only: a FIFO, a device or a socket is refused at once, without
// waiting for a writer, and a read never takes more than the caller's limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

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

// Why a file could not be read or written, by kind: the program builds its Russian message from
// the kind, the command-line tool prints the reason.
enum class FileProblem {
    none,
    noName,          // an empty path
    notFound,        // the file, or the folder it should be in, does not exist
    noPermission,    // the user may not read the file, or write it or its folder
    diskFull,        // no space or quota left for the new contents
    isFolder,        // the path names a folder
    notRegularFile,  // a FIFO, a device, a socket: nothing a document is kept in
    tooLarge,        // larger than the reader's limit
    other,           // anything else the system reported (the reason says what)
};

struct FileError {
    FileProblem problem = FileProblem::none;
    std::string reason;  // short English words for the command line ("is a directory", ...)
};

// Writes `image` in place of the file at `path` (created when missing). False with the problem
// when anything fails; the old file is then left exactly as it was and no temporary file stays
// behind. A save that succeeds also removes the temporaries of this writer that a killed one
// left in the folder (its own name pattern only, and only those untouched for a minute).
bool replaceFileContents(const NativePath& path, std::span<const uint8_t> image, FileError& error);

// Reads the regular file at `path`: its first `limit` bytes, or the whole of a shorter file.
// With `refuseLarger`, a file holding more than `limit` bytes is refused as tooLarge instead.
// `fileSize`, when given, receives the whole file's size as it was opened, however much of it
// was read.
bool readRegularFile(const NativePath& path, size_t limit, bool refuseLarger,
                     std::vector<uint8_t>& bytes, FileError& error, uint64_t* fileSize = nullptr);

}  // namespace kvarlo
