// The system's own answer (POSIX, and the C runtime's on Windows).
#include <unistd.h>

#include "platform/terminal.h"

namespace kvarlo {

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

}  // namespace kvarlo
