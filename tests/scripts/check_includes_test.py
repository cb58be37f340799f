#!/usr/bin/env python3
"""scripts/check-includes on small trees made for each rule: every kind of include that breaks
the stack is reported (and only that include), what the stack allows passes, and so does the
real tree."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SOURCE = pathlib.Path(__file__).resolve().parents[2]
CHECKER = SOURCE / "scripts" / "check-includes"


def check(files: dict):
    """Runs the checker on a tree holding `files` (path -> text); returns (status, stdout)."""
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        run = subprocess.run([sys.executable, str(CHECKER), root], capture_output=True, text=True)
        return run.returncode, run.stdout


class Violations(unittest.TestCase):
    CASES = {
        "a folder includes from a level above": ("game/click.cpp", '#include "view/layout.h"\n'),
        "siblings on one level": ("shell/main.cpp", '#include "cli/commands.h"\n'),
        "solver/ includes documents/": ("solver/control.cpp", '#include "documents/file_format.h"\n'),
        "documents/ includes the solver's control": ("documents/documents.h",
                                                     '#include "solver/control.h"\n'),
        "the solver uses the game": ("solver/control.h", '#include "game/interface_state.h"\n'),
        "board/ uses platform/": ("board/board.cpp", '#include "platform/win32.h"\n'),
        "game/ uses platform/": ("game/clock.cpp", '#include "platform/file_io.h"\n'),
        "the engine uses platform/": ("solver/engine/layers.cpp", '#include "platform/win32.h"\n'),
        "Qt outside platform/qt/": ("cli/command_render.cpp", "#include <QGuiApplication>\n"),
        "Qt in platform/ but not in qt/": ("platform/cp1251.cpp", "#include <QString>\n"),
        "Qt in the shared core": ("platform/core/resources.cpp", "#include <QImage>\n"),
        "emscripten outside platform/web/": ("platform/core/messages.cpp",
                                             "#include <emscripten/threading.h>\n"),
        "the core uses a layer": ("platform/core/messages.cpp", '#include "platform/qt/layer.h"\n'),
        "the Qt layer uses the browser's": ("platform/qt/gdi.cpp", '#include "platform/web/layer.h"\n'),
        "the browser layer uses Qt's": ("platform/web/gdi.cpp", '#include "platform/qt/objects.h"\n'),
    }

    def test_each_kind_fails_and_names_the_line(self):
        for what, (name, line) in self.CASES.items():
            with self.subTest(what):
                allowed = '#include <cstdint>\n#include "own.h"\n'
                status, out = check({name: allowed + line})
                self.assertEqual(status, 1, out)
                self.assertEqual(out.splitlines(), [out.splitlines()[0]], out)
                self.assertTrue(out.startswith(f"{name}:3:"), out)


class Allowed(unittest.TestCase):
    def test_what_the_stack_allows_passes(self):
        files = {
            "documents/file_format.h": '#include "solver/solver_results.h"\n#include "game/game.h"\n',
            "solver/control.cpp": '#include "platform/win32.h"\n#include "solver/engine/engine.h"\n',
            "solver/engine/layers.cpp": '#include "board/moves.h"\n#include <vector>\n',
            "platform/qt/gdi.cpp": "#include <QImage>\n#include \"platform/core/resources.h\"\n",
            "platform/web/gdi.cpp": '#include <emscripten.h>\n#include "platform/core/resources.h"\n',
            "platform/core/resources.cpp": '#include "platform/win32.h"\n',
            "view/board_view.h": '#include "platform/win32.h"\n#include "solver/solver_results.h"\n',
            "tools/resource_compiler.cpp": '#include "shell/resource.h"\n',
            "tests/view/x_test.cpp": '#include "tools/x.h"\n#include <QString>\n',
            "shell/window_proc.cpp": '#include "window_proc.h"\n',
        }
        status, out = check(files)
        self.assertEqual((status, out), (0, ""))

    def test_the_real_tree_passes(self):
        status, out = check_real()
        self.assertEqual((status, out), (0, ""))


def check_real():
    run = subprocess.run([sys.executable, str(CHECKER), str(SOURCE)], capture_output=True, text=True)
    return run.returncode, run.stdout


if __name__ == "__main__":
    unittest.main()
