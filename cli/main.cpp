// kvarlo-cli: inspects and makes the game's document files from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace kvarlo::cli {
namespace {

const Command commands[] = {
    {"info", "info FILE [--json]            what a figure, game or solution file holds", runInfo},
    {"moves", "moves FILE [--json]           the legal jumps in the file's position", runMoves},
    {"figure", "figure -o OUT.t1a [--slots N:D,...] [--full]   write a figure file", runFigure},
    {"solve", "solve FILE|--graph G.txt [-o OUT.t1c] [--json] ...   run the search engine",
     runSolve},
    {"render", "render FILE -o OUT.png [--size WxH] [--mode editor|game|solver]   draw a frame",
     runRender},
};

void printUsage(FILE* to) {
    std::fprintf(to, "usage: kvarlo-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& command : commands) {
        std::fprintf(to, "  %s\n", command.synopsis);
    }
    std::fprintf(to,
                 "\n'kvarlo-cli COMMAND --help' describes a command.\n"
                 "Exit status: 0 done, 1 a file refused or not written, 2 a usage error.\n");
}

}  // namespace
}  // namespace kvarlo::cli

int main(int argc, char** argv) {
    using namespace kvarlo::cli;
    if (argc < 2) {
        printUsage(stderr);
        return exitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        printUsage(stdout);
        return exitOk;
    }
    for (const Command& command : commands) {
        if (std::strcmp(argv[1], command.name) == 0) {
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "kvarlo-cli: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return exitUsage;
}
