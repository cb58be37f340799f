// Command-line parsing shared by the commands that read one file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvarlo::cli {

struct FileArguments {
    std::string file;
    bool json = false;
};

// Parses "FILE [--json]" or "--help". Returns the exit status when the command is done already
// (help printed: 0; a usage error reported on stderr: 2), nothing when it should go on.
std::optional<int> parseFileArguments(const std::vector<std::string>& args, const char* command,
                                      const char* help, FileArguments& out);

// Reports a usage error for a command on stderr and returns the usage exit status.
int usageError(const char* command, const std::string& message);

}  // namespace kvarlo::cli
