// Whether a standard stream is a terminal: the command-line tool redraws a progress line in
// place only there, never into a file or a pipe.
#pragma once

namespace kvarlo {

bool standardErrorIsTerminal();

}  // namespace kvarlo
