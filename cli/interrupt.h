// Ctrl-C and SIGTERM during a long command: the first asks the command to stop as one of its
// limits would, so it still prints and saves what it has; a second ends the process at once.
#pragma once

namespace kvarlo::cli {

// From here on SIGINT and SIGTERM are caught: the first only sets what interruption() reads
// and gives both signals back their default (ending the process), for the second.
void catchInterrupts();

// The signal that asked to stop (SIGINT or SIGTERM); 0 while none has.
int interruption();

// The exit status of a command that stopped for the signal: 128 + its number, the status a
// shell gives a process the signal ended (130 for SIGINT, 143 for SIGTERM).
int interruptedStatus(int signal);

// "SIGINT", "SIGTERM".
const char* signalName(int signal);

}  // namespace kvarlo::cli
