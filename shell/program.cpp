// The program's single instances and its configured addresses.
#include "shell/program.h"

#include <cstdio>
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
const char* resolveAddress(const char* configured, char (&buffer)[520]) {
    if (std::strstr(configured, "://") || configured[0] == '/' || configured[0] == '\\' ||
        (configured[0] != '\0' && configured[1] == ':')) {
        return configured;
    }
    std::snprintf(buffer, sizeof buffer, "%s", programFilePath(configured));
    return buffer;
}

}  // namespace

const char* siteAddress() {
    static char buffer[520];
    return resolveAddress(KVARLO_SITE_ADDRESS, buffer);
}

const char* productAddress() {
    static char buffer[520];
    return resolveAddress(KVARLO_PRODUCT_ADDRESS, buffer);
}

}  // namespace kvarlo
