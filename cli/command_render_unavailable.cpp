// kvarlo-cli render where the program has no off-screen drawing (the tool under node): the
// command is refused with its reason, and nothing is written.
#include <cstdio>

#include "cli/commands.h"

namespace kvarlo::cli {

int runRender(const std::vector<std::string>& /*args*/) {
    std::fprintf(stderr,
                 "kvarlo-cli render: this build has no drawing layer; use the desktop "
                 "build's kvarlo-cli to draw frames\n");
    return exitRefused;
}

}  // namespace kvarlo::cli
