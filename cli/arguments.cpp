// Command-line parsing shared by the commands.
#include "cli/arguments.h"

#include <cstdio>

#include "cli/commands.h"

namespace kvarlo::cli {

int usageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "kvarlo-cli %s: %s (see 'kvarlo-cli %s --help')\n", command,
                 message.c_str(), command);
    return exitUsage;
}

std::optional<int> parseFileArguments(const std::vector<std::string>& args, const char* command,
                                      const char* help, FileArguments& out) {
    bool haveFile = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return exitOk;
        }
        if (arg == "--json") {
            out.json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError(command, "unknown option '" + arg + "'");
        } else if (haveFile) {
            return usageError(command, "one file only");
        } else {
            out.file = arg;
            haveFile = true;
        }
    }
    if (!haveFile) {
        return usageError(command, "a file is needed");
    }
    return std::nullopt;
}

}  // namespace kvarlo::cli
