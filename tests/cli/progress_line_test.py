"""kvarlo-cli solve redraws its progress line on stderr only when stderr is a terminal: into a
file it writes none (under node too, where the runtime calls every standard stream a terminal).
Run as: progress_line_test.py FIGURE COMMAND... (the command that starts kvarlo-cli)."""
import os
import pty
import subprocess
import sys
import tempfile
import unittest

FIGURE = sys.argv[1]
COMMAND = sys.argv[2:]

# What only the progress line writes: the carriage return that redraws it, and its counter.
BAR_MARKS = ("\r", " jumps, ")


def solve_into_file():
    with tempfile.TemporaryFile() as stderr:
        done = subprocess.run(COMMAND + ["solve", FIGURE], stdout=subprocess.PIPE, stderr=stderr)
        stderr.seek(0)
        return done.returncode, done.stdout.decode(), stderr.read().decode()


def solve_on_terminal():
    """stderr on a pseudo-terminal; stdout in a pipe. Returns what the terminal showed."""
    master, slave = pty.openpty()
    process = subprocess.Popen(COMMAND + ["solve", FIGURE], stdout=subprocess.PIPE, stderr=slave)
    os.close(slave)
    shown = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the terminal's last writer has gone
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    process.stdout.read()
    process.stdout.close()
    return process.wait(), shown.decode(errors="replace")


class ProgressLine(unittest.TestCase):
    def test_stderr_in_a_file_gets_no_progress_line(self):
        status, stdout, stderr = solve_into_file()
        self.assertEqual(status, 0, stderr)
        self.assertIn("Полный перебор", stdout)  # the search ran to its end and said so
        for mark in BAR_MARKS:
            self.assertNotIn(mark, stderr)

    def test_stderr_on_a_terminal_gets_the_progress_line(self):
        status, shown = solve_on_terminal()
        self.assertEqual(status, 0, shown)
        for mark in BAR_MARKS:
            self.assertIn(mark, shown)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
