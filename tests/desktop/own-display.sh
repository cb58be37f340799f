# An X display of the caller's own, on Xvfb; sourced by the suites that run on a real display.
#
# Xvfb chooses a free display number itself and writes it to a pipe (-displayfd) once it
# accepts connections: no two servers share a number, and nothing is started on a display
# before its server listens. A number picked by the suite and polled with `xset q` is not
# enough: the answer can come from another suite's server that holds the same number and ends
# a moment later, under the program started on it.
# -noreset: by default the server starts over each time its last client leaves (our xset, a
# poll by xdotool), and a client that connects meanwhile, the program starting among them, is
# refused ("could not connect to display", nothing in the server's log).
#
#   start_own_display WORK_DIR LIMIT
# Sets DISPLAY, and own_xvfb to the server's pid for the caller to end. On failure it says why
# on stderr and returns 1, leaving no server running. A server that ends or stays silent for
# LIMIT seconds while starting (a loaded machine) is tried again, three times in all.
own_xvfb=""
start_own_display() {
  local work=$1 limit=$2 attempt number pipe="$1/displayfd"
  for attempt in 1 2 3; do
    rm -f "$pipe"
    mkfifo "$pipe"
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$pipe" >"$work/xvfb.log" 2>&1 &
    own_xvfb=$!
    # The pipe's other end opens as the server starts; it closes (an empty read) if it ends.
    if read -r -t "$limit" number <"$pipe" && [[ $number =~ ^[0-9]+$ ]]; then
      rm -f "$pipe"  # not left for anyone looking through a failed run's files to block on
      export DISPLAY=":$number"
      return 0
    fi
    kill "$own_xvfb" 2>/dev/null || true
    wait "$own_xvfb" 2>/dev/null || true
    echo "Xvfb gave no display (attempt $attempt of 3): $(tr '\n' ' ' <"$work/xvfb.log")" >&2
  done
  own_xvfb=""
  return 1
}
