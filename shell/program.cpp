// The program's single instances and its configured addresses.
#include "shell/program.h"

#include <cstring>

#include "shell/services.h"

#ifndef KVARLO_SITE_ADDRESS
#define KVARLO_SITE_ADDRESS "README.md"
#endif
#ifndef KVARLO_PRODUCT_ADDRESS
#define KVARLO_PRODUCT_ADDRESS "figures/README.md"
#endif

namespace kvarlo {

Program& program() {
    static Program instance;
    return instance;
}

void resetProgram() {
    Program& p = program();
    p.board = Board(7, 7);
    p.history = MoveHistory{};
    p.game = GameState{};
    p.window = WindowState{};
    p.results = SolverResults{};
    p.documentName = DocumentName{};
    p.clock = &systemClock();
}

namespace {

// A web or file address as configured; a relative one names a file beside the executable.
std::string resolveAddress(const char* configured) {
    if (std::strstr(configured, "://") || configured[0] == '/' || configured[0] == '\\' ||
        (configured[0] != '\0' && configured[1] == ':')) {
        return configured;
    }
    return programFilePath(configured);
}

}  // namespace

std::string siteAddress() { return resolveAddress(KVARLO_SITE_ADDRESS); }

std::string productAddress() { return resolveAddress(KVARLO_PRODUCT_ADDRESS); }

}  // namespace kvarlo
