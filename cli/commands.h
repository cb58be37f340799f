// The commands of kvarlo-cli. Each lives in a file of its own; main.cpp dispatches by name
// through one table, so a new command is a new file and one line there.
#pragma once

#include <string>
#include <vector>

namespace kvarlo::cli {

// Exit statuses shared by every command.
inline constexpr int exitOk = 0;
inline constexpr int exitRefused = 1;  // a file was refused, could not be written, or a limit hit
inline constexpr int exitUsage = 2;    // the command line itself is wrong

// A command gets the arguments that follow its name and returns the exit status.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* synopsis;  // one line for the overall help
    CommandFunction run;
};

int runInfo(const std::vector<std::string>& args);
int runMoves(const std::vector<std::string>& args);
int runFigure(const std::vector<std::string>& args);
int runSolve(const std::vector<std::string>& args);
int runRender(const std::vector<std::string>& args);

}  // namespace kvarlo::cli
