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
#ifndef KVARLO_CHECKOUT_SITE_ADDRESS
#define KVARLO_CHECKOUT_SITE_ADDRESS ""
#endif
#ifndef KVARLO_CHECKOUT_PRODUCT_ADDRESS
#define KVARLO_CHECKOUT_PRODUCT_ADDRESS ""
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

bool fileExists(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

// A web or file address as configured; a relative one names a file beside the executable. A
// program run from its build tree has nothing installed beside it: it opens the checkout's own
// copy of the page instead (empty when the build knows none).
std::string resolveAddress(const char* configured, const char* checkoutCopy) {
    if (std::strstr(configured, "://") || configured[0] == '/' || configured[0] == '\\' ||
        (configured[0] != '\0' && configured[1] == ':')) {
        return configured;
    }
    std::string beside = programFilePath(configured);
    if (!fileExists(beside.c_str()) && checkoutCopy[0] != '\0' && fileExists(checkoutCopy)) {
        return checkoutCopy;
    }
    return beside;
}

}  // namespace

std::string siteAddress() {
    return resolveAddress(KVARLO_SITE_ADDRESS, KVARLO_CHECKOUT_SITE_ADDRESS);
}

std::string productAddress() {
    return resolveAddress(KVARLO_PRODUCT_ADDRESS, KVARLO_CHECKOUT_PRODUCT_ADDRESS);
}

}  // namespace kvarlo
