"""tools/cp1251-literals: the literal rewriting clang builds depend on for Windows-1251 text."""

import importlib.machinery
import importlib.util
import os
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "tools", "cp1251-literals")


def load_tool():
    loader = importlib.machinery.SourceFileLoader("cp1251_literals", TOOL)
    spec = importlib.util.spec_from_loader("cp1251_literals", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


tool = load_tool()


def convert(text):
    return tool.convert(text, "test.cpp")[0]


class LiteralsTest(unittest.TestCase):
    def test_cyrillic_in_string_and_char_literals_becomes_octal_bytes(self):
        self.assertEqual(convert('f("Игра");'), 'f("\\310\\343\\360\\340");')
        self.assertEqual(convert("char c = 'ё';"), "char c = '\\270';")
        # A hex escape would take the 'a' that follows as one more digit; octal stops at three.
        self.assertEqual(convert('"Яa"'), '"\\337a"')

    def test_existing_escapes_and_quotes_stay_as_they_are(self):
        self.assertEqual(convert('"\\"Ход\\" \\\\ \\x41"'), '"\\"\\325\\356\\344\\" \\\\ \\x41"')
        self.assertEqual(convert("'\\''"), "'\\''")

    def test_comments_prefixed_literals_and_numbers_are_left_alone(self):
        untouched = [
            "// Игра 'ход' \"x\"\nint a;",
            "/* Ход 'a */ int b;",
            'auto w = L"Игра"; auto u = u"Игра"; auto v = u8"Игра"; auto U = U"Я";',
            "int n = 1'000'000; double d = 1e+5'0;",
            "char16_t c = u'Я';",
        ]
        for text in untouched:
            with self.subTest(text=text):
                self.assertEqual(convert(text), text)
        self.assertFalse(tool.convert(untouched[0], "t")[1])

    def test_a_number_with_separators_before_a_literal_does_not_swallow_it(self):
        self.assertEqual(convert("x = 1'000 + 'Ж';"), "x = 1'000 + '\\306';")

    def test_raw_string_with_cyrillic_becomes_ordinary_literals_line_for_line(self):
        source = 'auto s = R"x(Игра "1"\\n\n)x";\nint after;'
        converted = convert(source)
        self.assertEqual(converted, 'auto s = "\\310\\343\\360\\340 \\"1\\"\\\\n\\n"\n"";\nint after;')
        self.assertEqual(converted.count("\n"), source.count("\n"))
        ascii_raw = 'R"(plain " \\ text)"'
        self.assertEqual(convert(ascii_raw), ascii_raw)

    def test_refuses_what_it_cannot_convert(self):
        for text in ['"\u20ac\u2603"', '"not closed\n"', 'R"x(never closed)"']:
            with self.subTest(text=text):
                with self.assertRaises(tool.ConversionError):
                    convert(text)

    def test_holds_tells_which_files_need_the_conversion(self):
        self.assertTrue(tool.holds_non_ascii_literal('f("Я");', "t"))
        self.assertFalse(tool.holds_non_ascii_literal('// Я\nf(u8"Я");', "t"))
        # Finding the files is no conversion: a text 1251 lacks is told when its file is built.
        self.assertTrue(tool.holds_non_ascii_literal('f("\u4e2d");', "t"))


class CommandLineTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.folder)

    def path(self, name):
        return os.path.join(self.folder, name)

    def run_tool(self, *args):
        return subprocess.run(["python3", TOOL, *args], capture_output=True, text=True)

    def test_writes_the_copy_with_a_line_directive_naming_the_original(self):
        with open(self.path("a.cpp"), "w", encoding="utf-8") as file:
            file.write('const char* t = "Ход";\n')
        result = self.run_tool(self.path("a.cpp"), self.path("out/a.cpp"))
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("out/a.cpp"), encoding="utf-8") as file:
            self.assertEqual(file.read(), '#line 1 "%s"\nconst char* t = "\\325\\356\\344";\n'
                             % self.path("a.cpp"))

    def test_a_file_it_refuses_leaves_no_copy_and_says_where(self):
        with open(self.path("bad.cpp"), "w", encoding="utf-8") as file:
            file.write('int a;\nconst char* t = "\u20ac\u2603";\n')
        result = self.run_tool(self.path("bad.cpp"), self.path("bad.out.cpp"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("bad.cpp:2", result.stderr)
        self.assertFalse(os.path.exists(self.path("bad.out.cpp")))


# The proof that matters: the bytes a converted source compiles to without -fexec-charset are the
# bytes gcc makes from the original with -fexec-charset=CP1251.
SAMPLE = r'''#include <cstdio>
#include <cstring>
const char plain[] = "Решатель: %i сек";
const char mixed[] = "\x41Ёж\"ё\\\tЯa\101";
const char joined[] = "Сложность " "доля";
const char raw[] = R"(Игра "в" \n
спички)";
const char letters[] = {'П', 'р', 'и', '\0'};
// Комментарий с "кавычками" и 'апострофом' остаётся как есть.
int main() {
    const char* all[] = {plain, mixed, joined, raw, letters};
    for (const char* text : all) std::fwrite(text, 1, std::strlen(text) + 1, stdout);
    return 0;
}
'''


@unittest.skipUnless(shutil.which("g++"), "g++ is needed to compare with -fexec-charset")
class SameBytesAsGccTest(unittest.TestCase):
    def test_converted_source_prints_the_bytes_of_the_gcc_build(self):
        with tempfile.TemporaryDirectory() as folder:
            original = os.path.join(folder, "sample.cpp")
            converted = os.path.join(folder, "converted.cpp")
            with open(original, "w", encoding="utf-8") as file:
                file.write(SAMPLE)
            subprocess.run(["python3", TOOL, original, converted], check=True)
            outputs = []
            for source, charset in [(original, "CP1251"), (converted, "UTF-8")]:
                program = source + ".bin"
                subprocess.run(["g++", "-std=c++20", "-finput-charset=UTF-8",
                                "-fexec-charset=" + charset, source, "-o", program], check=True)
                outputs.append(subprocess.run([program], capture_output=True, check=True).stdout)
            self.assertEqual(outputs[0], outputs[1])
            self.assertIn("Решатель".encode("cp1251"), outputs[1])


if __name__ == "__main__":
    unittest.main()
