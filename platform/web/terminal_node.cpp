// Under node (the browser build's command-line programs) emscripten marks every standard stream
// as a terminal, whatever it is, so node itself is asked about the real descriptor. Its answer
// is only right on node's main thread: a worker's process.stderr is a pipe to that thread.
#include <emscripten.h>

#include "platform/terminal.h"

namespace kvarlo {

bool standardErrorIsTerminal() {
    return MAIN_THREAD_EM_ASM_INT({
               return typeof process == "object" && typeof require == "function" &&
                              require("tty").isatty(2)
                          ? 1
                          : 0;
           }) != 0;
}

}  // namespace kvarlo
