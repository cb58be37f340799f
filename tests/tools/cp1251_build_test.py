"""cmake/KvarloCp1251.cmake in a build of its own: a Cyrillic literal written into a source
that held none is stored in Windows-1251 by the next build, without a configure step between.

The small project is built by the host's C++ compiler without -fexec-charset, as clang builds
(UTF-8 unless the conversion rewrote the literal); it prints its literal's bytes in hex."""
import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest

SOURCE = pathlib.Path(__file__).resolve().parents[2]

PROJECT = """cmake_minimum_required(VERSION 3.25)
project(cp1251_probe CXX)
list(APPEND CMAKE_MODULE_PATH "{cmake}")
include_directories("${{PROJECT_SOURCE_DIR}}")
include(KvarloCp1251)
add_executable(probe board/main.cpp board/text.cpp)
kvarlo_cp1251_literals()
"""

MAIN = """#include <cstdio>
#include "board/text.h"
int main() {
    for (const char* p = text(); *p != 0; ++p)
        std::printf("%02x", static_cast<unsigned char>(*p));
    std::printf("\\n");
}
"""

HEADER = "const char* text();\n"


def text_source(literal):
    return '#include "board/text.h"\nconst char* text() { return "%s"; }\n' % literal


class BuildNoticesNewLiterals(unittest.TestCase):
    def setUp(self):
        if shutil.which("ninja") is None or shutil.which("c++") is None:
            self.skipTest("needs ninja and a host C++ compiler")
        self.folder = tempfile.TemporaryDirectory()
        root = pathlib.Path(self.folder.name)
        self.source, self.build = root / "source", root / "build"
        (self.source / "board").mkdir(parents=True)
        (self.source / "CMakeLists.txt").write_text(PROJECT.format(cmake=SOURCE / "cmake"))
        (self.source / "board" / "main.cpp").write_text(MAIN)
        (self.source / "board" / "text.h").write_text(HEADER)

    def tearDown(self):
        self.folder.cleanup()

    def run_here(self, *command):
        done = subprocess.run(command, capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done.stdout

    def build_and_print(self):
        self.run_here("cmake", "--build", str(self.build))
        return self.run_here(str(self.build / "probe")).strip()

    def write_text_source(self, literal):
        path = self.source / "board" / "text.cpp"
        path.write_text(text_source(literal), encoding="utf-8")
        # A later modification time than the last build's outputs, however coarse the clock.
        stamp = path.stat().st_mtime + 5
        os.utime(path, (stamp, stamp))

    def test_a_literal_added_to_a_plain_source_is_converted_by_the_next_build(self):
        self.write_text_source("plain")
        self.run_here("cmake", "-G", "Ninja", "-S", str(self.source), "-B", str(self.build))
        self.assertEqual(self.build_and_print(), b"plain".hex())
        self.write_text_source("Ход")
        self.assertEqual(self.build_and_print(), "Ход".encode("cp1251").hex())


if __name__ == "__main__":
    unittest.main(verbosity=2)
