"""The page end to end in headless Chromium: the program loads and draws what the desktop draws,
plays by clicks and keys, opens its menus and the About box, shows its message boxes with the
desktop's icons, saves and opens files through the page, keeps its play folder over a reload,
refuses a damaged file in Russian, and searches."""
import json
import os
import pathlib
import socket
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from page_driver import (SOURCE, Page, PlainSite, Site, native_cli, native_reference_save,  # noqa: E402
                         read_png, site_on_a_stopped_clock)

SITE = pathlib.Path(os.environ.get("KVARLO_SITE", SOURCE / "build/web/site"))

# The board's colours (COLORREF 0x00BBGGRR of view/edge_style.h, here as RGB).
MATCH = (180, 120, 0)
SELECTED_OR_TARGET = (210, 140, 0)
MOVABLE_UNDERLAY = (210, 210, 210)
# A bar of the board is some hundreds of pixels; the status text's glyphs are far smaller.
BAR_PIXELS = 150

# The page's frame against the desktop's render of the same frame: the lines are rasterised
# the same way, the text is the browser's (its glyph edges and the line's place may differ).
# At most this share of pixels may differ (0.8 % measured: glyph edges of the status text).
FRAME_TOLERANCE = 0.02
# The Solver's frame is mostly text (its panel of counts): there glyph edges differ in at most
# this share of the pixels (4.5 % measured); right of the panel's text only lines are drawn.
SOLVER_FRAME_TOLERANCE = 0.06
SOLVER_TEXT_RIGHT = 260


def text_line_tops(frame, x0, x1):
    """The rows where a line of the left-hand text begins: the first of each run of rows that
    hold a pixel much darker than the background between x0 and x1."""
    background = sum(frame.pixel(2, 2))
    inked = [any(sum(frame.pixel(x, y)) < background - 60 for x in range(x0, x1))
             for y in range(frame.height)]
    return [y for y in range(1, frame.height) if inked[y] and not inked[y - 1]]


def text_lines_alike(test, frame, reference):
    """Asserts that the left-hand text's lines sit on the reference's rows: all but a few (the
    first inked row of a line can move by one where a glyph's antialiased edge differs)."""
    mine, theirs = text_line_tops(frame, 5, 100), text_line_tops(reference, 5, 100)
    test.assertEqual(len(mine), len(theirs), (mine, theirs))
    moved = [(a, b) for a, b in zip(mine, theirs) if a != b]
    test.assertLessEqual(len(moved), len(mine) // 8, f"lines not on the desktop's rows: {moved}")


def bars(frame, colour):
    return [area for area in frame.components(colour) if len(area) >= BAR_PIXELS]


def movable(frame):
    """The match bars with the light underlay of a movable match around them."""
    def touches_underlay(area):
        return any(frame.pixel(x + dx, y + dy) == MOVABLE_UNDERLAY for x, y in area[::7]
                   for dx, dy in ((2, 0), (-2, 0), (0, 2), (0, -2))
                   if 0 <= x + dx < frame.width and 0 <= y + dy < frame.height)
    return [area for area in bars(frame, MATCH) if touches_underlay(area)]


def thickness(area):
    """A bar's width: its area over its length (the diagonal of its bounding box)."""
    xs = [x for x, _ in area]
    ys = [y for _, y in area]
    return len(area) / max(1.0, ((max(xs) - min(xs)) ** 2 + (max(ys) - min(ys)) ** 2) ** 0.5)


def count_matches(frame):
    """Matches on the board: plain ones and the selected one (thick, where targets are thin)."""
    selected = [a for a in bars(frame, SELECTED_OR_TARGET) if thickness(a) > 6]
    return len(bars(frame, MATCH)) + len(selected)


def centre(area):
    """The pixel of the area nearest its centroid (on the bar for a straight bar)."""
    cx = sum(x for x, _ in area) / len(area)
    cy = sum(y for _, y in area) / len(area)
    return min(area, key=lambda p: (p[0] - cx) ** 2 + (p[1] - cy) ** 2)


def icon_family(rgb):
    """The colour family of a message box's icon that a pixel belongs to: the warning's yellow,
    the error's red, the blue of the question and of the information; None for the box's grey,
    its black text and the antialiased edges between."""
    r, g, b = rgb
    if r > 200 and g > 170 and b < 90:
        return "yellow"
    if r > 170 and g < 100 and b < 100:
        return "red"
    if b > 150 and r < 120 and g < 150:
        return "blue"
    return None


def shown_icon(page):
    """The open box's icon as the browser draws it: the pixels of each colour family in the
    box's body, the rightmost column holding one, and where the text's first glyphs begin (all
    in pixels from the body's left edge)."""
    shot = page.shot_of("#modal-layer .box .body")
    families, right = {}, -1
    for y in range(shot.height):
        for x in range(shot.width):
            family = icon_family(shot.pixel(x, y))
            if family:
                families[family] = families.get(family, 0) + 1
                right = max(right, x)
    text_left = page.js("""
        const body = document.querySelector('#modal-layer .box .body');
        const text = document.createRange();
        text.selectNodeContents(body.querySelector('p'));
        return text.getBoundingClientRect().left - body.getBoundingClientRect().left;""")
    return families, right, text_left, shot


def info_of(cli, data, name):
    """What the desktop's kvarlo-cli reads in a file's bytes."""
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / name
        path.write_bytes(data)
        return json.loads(subprocess.run([str(cli), "info", str(path), "--json"],
                                         capture_output=True, check=True).stdout)


def figure_of(cli, data):
    """The board of a figure file as the desktop's kvarlo-cli reads it: its slots and matches."""
    info = info_of(cli, data, "figure.t1a")
    return (info["kind"], info["matches"],
            [(s["node"], s["direction"], s["exists"], s["hasMatch"]) for s in info["slots"]])


def outward_address():
    """This machine's address other than the loopback (a UDP "connection" sends nothing)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        try:
            probe.connect(("10.255.255.255", 1))
            address = probe.getsockname()[0]
        except OSError:
            return None
    return None if address.startswith("127.") else address


def setUpModule():
    global site
    if not (SITE / "index.html").is_file():
        raise unittest.SkipTest(f"no site in {SITE}: build the web preset first")
    site = Site(SITE)


def tearDownModule():
    site.close()


class PageTest(unittest.TestCase):
    """A fresh browser profile per test class: an empty play folder to start from."""

    @classmethod
    def setUpClass(cls):
        cls.page = Page(site.address)

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def setUp(self):
        self.page.open()

    def matches(self):
        return count_matches(self.page.frame())

    def jump(self):
        """Selects the first movable match by a click and jumps it by a click on a target."""
        page = self.page
        candidates = movable(page.frame())
        self.assertTrue(candidates, "no movable match on the board")
        page.click(*centre(candidates[0]))
        page.settle()
        targets = [a for a in bars(page.frame(), SELECTED_OR_TARGET) if thickness(a) <= 6]
        self.assertTrue(targets, "a selected match shows its target slots")
        page.click(*centre(targets[0]))
        page.settle()


class Isolation(unittest.TestCase):
    def test_a_host_without_the_headers_gets_them_from_the_service_worker(self):
        plain = PlainSite(SITE)
        page = Page(plain.address)
        try:
            page.driver.get(plain.address)
            page.wait(lambda: page.js("return self.crossOriginIsolated && window.kvarloPage && "
                                      "kvarloPage.page.firstFrame > 0"), "the game, isolated")
            self.assertTrue(page.js("return !!navigator.serviceWorker.controller"))
        finally:
            page.close()
            plain.close()


    def test_a_page_that_cannot_be_isolated_says_what_the_browser_lacks(self):
        # Plain http from another host is no secure context: no service worker, no
        # SharedArrayBuffer.
        address = outward_address()
        if address is None:
            self.skipTest("this machine has no address but its loopback one")
        plain = PlainSite(SITE, address)
        page = Page(plain.address)
        try:
            page.driver.get(plain.address)
            text = page.wait(lambda: page.js(
                "const s = document.getElementById('status');"
                "return s.classList.contains('error') ? s.textContent : ''"), "the message")
            self.assertIn("Этот браузер не может запустить игру", text)
            self.assertIn("SharedArrayBuffer", text)
            self.assertFalse(page.js("return !!window.Module && !!window.Module.calledRun"))
        finally:
            page.close()
            plain.close()


class Drawing(PageTest):
    def test_first_frame_matches_the_desktop_render(self):
        cli = native_cli()
        if cli is None:
            self.skipTest("the desktop build's kvarlo-cli draws the reference: build the default preset")
        frame = self.page.frame()
        with tempfile.TemporaryDirectory() as folder:
            png = pathlib.Path(folder) / "frame.png"
            subprocess.run([str(cli), "render", str(SOURCE / "assets/default.t1a"), "-o", str(png),
                            "--size", f"{frame.width}x{frame.height}"], check=True)
            reference = read_png(png)
        self.assertEqual((reference.width, reference.height), (frame.width, frame.height))
        share = frame.differing(reference) / (frame.width * frame.height)
        self.assertLessEqual(share, FRAME_TOLERANCE, f"{share:.2%} of the pixels differ")
        # The board alone (no text inside it) is drawn pixel for pixel alike.
        board = (100, 90, frame.width - 100, frame.height - 60)
        self.assertLessEqual(frame.differing(reference, board), frame.width // 4)
        # The glyphs are the browser's, but the status text's lines sit on the desktop's rows.
        text_lines_alike(self, frame, reference)


class Playing(PageTest):
    def test_a_jump_by_two_clicks_and_undo_and_redo_by_keys(self):
        page = self.page
        before = self.matches()
        self.jump()
        self.assertEqual(self.matches(), before - 1)
        page.key("ArrowLeft", "ArrowLeft")
        page.settle()
        self.assertEqual(self.matches(), before)
        page.key("ArrowRight", "ArrowRight")
        page.settle()
        self.assertEqual(self.matches(), before - 1)


# Records, for every AudioContext the page makes, the event whose handler made it ("none":
# made outside any handler).
RECORD_AUDIO_CONTEXTS = """
window.audioContextsMade = null;
const PageAudioContext = window.AudioContext;
window.AudioContext = class extends PageAudioContext {
  constructor(...args) {
    super(...args);
    (window.audioContextsMade = window.audioContextsMade || []).push(
      window.event ? window.event.type : "none");
  }
};
"""


class FirstInput(unittest.TestCase):
    def test_the_audio_output_is_opened_after_the_first_frame_not_by_the_first_key(self):
        # Opening it holds the page's thread up (about a second in headless Chromium here): in
        # the first key's handler, that was how long the key waited for its answer.
        page = Page(site.address)
        try:
            page.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                        {"source": RECORD_AUDIO_CONTEXTS})
            page.open()
            made = page.wait(lambda: page.js("return window.audioContextsMade"),
                             "an audio context made once the first frame is up")
            self.assertEqual(made, ["none"])
            page.key("Space", " ")
            page.settle()
            self.assertEqual(page.js("return window.audioContextsMade"), ["none"])
        finally:
            page.close()


class Menus(PageTest):
    def test_every_menu_opens_with_its_items(self):
        page = self.page
        titles = page.menu_titles()
        self.assertEqual(len(titles), 5)
        for title in titles:
            items = page.js("""
                const top = [...document.querySelectorAll('.menubar .top')]
                    .find(e => e.textContent === arguments[0]);
                top.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
                return [...document.querySelectorAll('.popup .item')].map(e => e.textContent);""",
                            title)
            self.assertTrue(items and all(items), f"menu {title!r} shows {items!r}")
            page.key("Escape", "Escape")
            self.assertFalse(page.js("return !!document.querySelector('.popup')"))

    def test_alt_and_a_mnemonic_opens_its_menu(self):
        page = self.page
        page.key("KeyA", "ф", alt=True)  # "&Файл" on a Russian keyboard
        page.wait(lambda: page.js("return !!document.querySelector('.popup')"), "the menu")
        self.assertEqual(page.js("return document.querySelector('.menubar .top.open').textContent"),
                         "Файл")
        page.key("Escape", "Escape")

    def test_the_about_box_from_the_menu_and_by_alt_question_mark(self):
        page = self.page
        for open_it in (lambda: page.choose("?", "О программе"),
                        lambda: page.key("Slash", "?", alt=True, shift=True)):
            open_it()
            box = page.wait(page.box, "the About box")
            self.assertEqual(box["caption"], "О программе")
            self.assertIn("Кварло 1", box["text"])
            self.assertEqual(page.js("return document.querySelector('.box img').naturalWidth"), 130)
            page.press_box_button("Красота спасет мир")
            page.wait(lambda: page.box() is None, "the About box to close")


class Files(PageTest):
    def save_as(self, top, item, name):
        page = self.page
        page.choose(top, item)
        page.wait(page.box, "the save box")
        page.js("document.querySelector('.box input[type=text]').value = arguments[0]", name)
        page.press_box_button("Сохранить")
        return page.downloaded(name)

    def open_from_folder(self, top, item, name):
        page = self.page
        page.choose(top, item)
        page.wait(page.box, "the open box")
        page.js("""[...document.querySelectorAll('.box ul.files li')]
            .find(e => e.textContent === arguments[0]).click();""", name)
        page.wait(lambda: page.box() is None, "the open box to close")
        page.settle()

    def test_a_saved_figure_is_the_desktop_file_and_stays_over_a_reload(self):
        page = self.page
        saved = self.save_as("Редактор", "Сохранить Фигуру", "mine.t1a")
        # The desktop tool reads the page's file as the figure it was saved from.
        cli = native_cli()
        if cli is not None:
            self.assertEqual(figure_of(cli, saved), figure_of(cli, (SOURCE / "assets/default.t1a").read_bytes()))
        page.open()  # a reload: the play folder comes back from the browser's storage
        page.choose("Файл", "Открыть Фигуру")
        page.wait(page.box, "the open box")
        listed = page.js("return [...document.querySelectorAll('.box ul.files li')].map(e => e.textContent)")
        self.assertIn("mine.t1a", listed)
        self.assertIn("default.t1a", listed)
        page.press_box_button("Отмена")

    def test_a_saved_game_opens_again_where_it_was(self):
        page = self.page
        before = self.matches()
        self.jump()
        saved = self.save_as("Игра", "Сохранить Игру", "played.t1b")
        cli = native_cli()
        if cli is not None:  # the desktop tool reads the page's game as its own
            self.assertEqual(info_of(cli, saved, "game.t1b")["kind"], "game")
        page.choose("Игра", "Начать Игру заново")
        page.settle()
        self.assertEqual(self.matches(), before)
        self.open_from_folder("Игра", "Открыть Игру", "played.t1b")
        self.assertEqual(self.matches(), before - 1)

    def test_a_damaged_file_is_refused_in_russian_and_nothing_changes(self):
        page = self.page
        before = page.frame()
        with tempfile.TemporaryDirectory() as folder:
            damaged = pathlib.Path(folder) / "damaged.t1a"
            damaged.write_bytes((SOURCE / "assets/default.t1a").read_bytes()[:40] + b"\xff" * 7)
            page.choose("Файл", "Открыть Фигуру")
            page.wait(page.box, "the open box")
            page.driver.find_element("css selector", ".box input[type=file]").send_keys(str(damaged))
            box = page.wait(lambda: (page.box() or {}).get("buttons") == ["✕", "OK"] and page.box(),
                            "the message box")
        self.assertIn("Не удалось открыть Фигуру", box["text"])
        # The warning's yellow triangle, wholly left of the text, as the desktop shows it.
        families, right, text_left, _ = shown_icon(page)
        self.assertEqual(max(families, key=families.get, default=None), "yellow", families)
        self.assertLess(right, text_left)
        page.press_box_button("OK")
        page.wait(lambda: page.box() is None, "the message box to close")
        page.settle()
        self.assertEqual(page.frame().differing(before), 0)


class MessageBoxes(PageTest):
    """Each icon kind of MessageBoxA drawn left of the text, the text and buttons unchanged."""
    TEXT = "Сохранить изменения?\n\nФигура default"
    ICON_FAMILIES = {0x10: "red", 0x20: "blue", 0x30: "yellow", 0x40: "blue"}

    def show(self, kind):
        """Shows a Yes/No box of the icon kind as the program's MessageBoxA would. Its number, 0,
        is none the program awaits (they count from 1), so its answer is dropped."""
        page = self.page
        page.js("""kvarloPage.messageBox(0, 'Кварло', arguments[0], [['Да', 6], ['Нет', 7]],
                                         arguments[1]);""", self.TEXT, kind)
        box = page.wait(page.box, "the message box")
        self.assertEqual((box["text"], box["buttons"]), (self.TEXT, ["✕", "Да", "Нет"]))
        shown = shown_icon(page)
        page.key("Escape", "Escape")  # the box's keys are its own still
        page.wait(lambda: page.box() is None, "Escape to close the box")
        return shown

    def test_each_icon_stands_left_of_the_text_and_a_box_without_one_shows_none(self):
        families, _, plain_left, _ = self.show(0)
        self.assertEqual(families, {})
        shots = {}
        for kind, expected in self.ICON_FAMILIES.items():
            with self.subTest(kind=hex(kind)):
                families, right, text_left, shots[kind] = self.show(kind)
                self.assertEqual(max(families, key=families.get, default=None), expected, families)
                self.assertGreater(families[expected], 150, "an icon of 32 pixels, mostly its colour")
                self.assertLess(right, text_left)
                self.assertGreaterEqual(text_left, plain_left + 32, "the text moves right of the icon")
        # The question and the information share their blue; their signs differ.
        icon_area = (0, 0, plain_left + 32, shots[0x20].height)
        self.assertGreater(shots[0x20].differing(shots[0x40], icon_area), 20)


class SavedGameBytes(PageTest):
    """The page on a stopped calendar clock, so that its save and the desktop's save of the
    same game at the same second can be compared byte for byte."""
    SECONDS = 1_700_000_000

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.site = Site(site_on_a_stopped_clock(SITE, cls.folder.name, cls.SECONDS))
        cls.page = Page(cls.site.address)

    @classmethod
    def tearDownClass(cls):
        cls.page.close()
        cls.site.close()
        cls.folder.cleanup()

    def native_save_of(self, page_save, folder):
        """The desktop program's save of the moves of page_save, on the same stopped clock."""
        helper = native_reference_save()
        out = pathlib.Path(folder) / "played.t1b"
        moves = pathlib.Path(folder) / "moves.t1b"
        moves.write_bytes(page_save)
        done = subprocess.run([str(helper), str(SOURCE / "assets/default.t1a"), str(moves),
                               str(self.SECONDS), str(out)], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        return out

    def test_the_page_saves_the_desktop_file_and_opens_it_where_it_was(self):
        cli, helper = native_cli(), native_reference_save()
        if cli is None or helper is None:
            self.skipTest("the desktop build (kvarlo-cli, e2e_reference_save) makes the reference")
        page = self.page
        before = self.matches()
        self.jump()
        played = page.frame()
        saved = Files.save_as(self, "Игра", "Сохранить Игру", "played.t1b")
        info = info_of(cli, saved, "played.t1b")
        # The desktop tool reads the page's save as the game played, stamped by the stopped clock.
        self.assertEqual((info["kind"], info["current"], info["total"], info["matches"]),
                         ("game", 1, 1, before - 1))
        self.assertEqual((info["createdTime"], info["elapsedSeconds"]), (self.SECONDS, 0))
        with tempfile.TemporaryDirectory() as folder:
            native = self.native_save_of(saved, folder)
            self.assertEqual(saved, native.read_bytes())
            # The desktop's file, opened in the page after a restart, brings the game back.
            page.choose("Игра", "Начать Игру заново")
            page.settle()
            self.assertEqual(self.matches(), before)
            page.choose("Игра", "Открыть Игру")
            page.wait(page.box, "the open box")
            page.driver.find_element("css selector", ".box input[type=file]").send_keys(str(native))
            page.wait(lambda: page.box() is None, "the open box to close")
        page.settle()
        self.assertEqual(page.frame().differing(played), 0)
        page.key("ArrowLeft", "ArrowLeft")  # its history came along: the move undoes
        page.settle()
        self.assertEqual(self.matches(), before)


class TabMemory(PageTest):
    """A device that says it has 16 MiB: the page gives the tab a quarter of it, 4 MiB, and the
    search budgets half of that, 2 MiB, where the default figure's layers outgrow it early."""
    DEVICE_GIB = 1 / 64
    MiB = 1 << 20

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.page.before_each_document("Object.defineProperty(Navigator.prototype, 'deviceMemory', "
                                      f"{{get: () => {cls.DEVICE_GIB}}});")

    def solution_now(self, name):
        """The search's results so far: stopped, saved by the page, read by the desktop's tool."""
        page = self.page
        page.choose("Решение", "Прервать поиск")
        # The save waits for the search to have stopped (a busy solver refuses it with a beep).
        def save_box():
            if not page.box():
                page.choose("Решение", "Сохранить Решение")
                page.settle()
            return page.box()
        page.wait(save_box, "the save box")
        page.js("document.querySelector('.box input[type=text]').value = arguments[0]", name)
        page.press_box_button("Сохранить")
        return info_of(native_cli(), page.downloaded(name), name)

    def test_the_search_keeps_to_the_budget_the_page_sets_from_the_device(self):
        cli = native_cli()
        if cli is None:
            self.skipTest("the desktop build's kvarlo-cli reads the page's solution")
        page = self.page
        self.assertEqual(page.js("return kvarloPage.page.memoryLimit"), 4 * self.MiB)
        figure = str(SOURCE / "assets/default.t1a")
        whole = json.loads(subprocess.run([str(cli), "solve", figure, "--json"],
                                          capture_output=True, check=True).stdout)
        # The desktop's search on the budget the page should have set: it runs out of memory in
        # an early layer and goes on with probes for the time given.
        budgeted = json.loads(subprocess.run(
            [str(cli), "solve", figure, "--json", "--memory", "2", "--time-limit", "1"],
            capture_output=True).stdout)
        self.assertLess(budgeted["depth"], whole["depth"])
        # The page's search, looked at until it has made more jumps than the whole search
        # takes (it is then past its memory stop, if it has one): its layers stop where the
        # desktop's do. On a budget it did not read they would go on to the end.
        page.choose("Решение", "Заново искать Решение")
        found, round_ = None, 0
        while found is None or found["positionsExamined"] <= whole["positionsExamined"]:
            round_ += 1
            self.assertLess(round_, 50, "the search made too few jumps")
            frames = page.js("return kvarloPage.page.frames")
            page.wait(lambda: page.js("return kvarloPage.page.frames") > frames + 20,
                      "the search's panel to go on")
            found = self.solution_now(f"round{round_}.t1c")
            self.assertLessEqual(found["depth"], budgeted["depth"], "layers past the budget")
            page.choose("Решение", "Искать Решение")
        self.assertNotEqual(found["status"], 2)
        self.assertEqual(found["depth"], budgeted["depth"])
        page.choose("Решение", "Прервать поиск")


class Solving(PageTest):
    def test_a_search_on_the_default_figure_finds_the_desktop_spectrum(self):
        cli = native_cli()
        if cli is None:
            self.skipTest("the desktop build's kvarlo-cli gives the reference spectrum")
        page = self.page
        page.choose("Решение", "Заново искать Решение")
        page.settle()
        page.wait(lambda: page.js("return kvarloPage.page.frames") and self.search_ended(),
                  "the search's end", timeout=300)
        shown = page.frame()
        saved = Files.save_as(self, "Решение", "Сохранить Решение", "default.t1c")
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "default.t1c"
            path.write_bytes(saved)
            found = json.loads(subprocess.run([str(cli), "info", str(path), "--json"],
                                              capture_output=True, check=True).stdout)
            # The Solver's frame is the desktop's drawing of the solution it saved.
            png = pathlib.Path(folder) / "solver.png"
            subprocess.run([str(cli), "render", str(path), "-o", str(png), "--mode", "solver",
                            "--size", f"{shown.width}x{shown.height}"], check=True)
            reference = read_png(png)
        share = shown.differing(reference) / (shown.width * shown.height)
        self.assertLessEqual(share, SOLVER_FRAME_TOLERANCE, f"{share:.2%} of the pixels differ")
        board = (SOLVER_TEXT_RIGHT, 0, shown.width, shown.height)
        self.assertLessEqual(shown.differing(reference, board), shown.width // 4)
        text_lines_alike(self, shown, reference)
        expected = json.loads(subprocess.run([str(cli), "solve", str(SOURCE / "assets/default.t1a"),
                                              "--json"], capture_output=True, check=True).stdout)
        # The solver's report spells its counts as strings, the file's reader as numbers.
        self.assertEqual([int(n) for n in found["spectrum"]], [int(n) for n in expected["spectrum"]])
        # The best solution in the game: played from the start, step by step and to its end.
        page.choose("Решение", "Лучшее Решение в Игру")
        page.settle()
        page.key("ArrowUp", "ArrowUp")
        page.settle()
        self.assertEqual(self.matches(), expected["matches"])
        page.key("ArrowRight", "ArrowRight")
        page.settle()
        self.assertEqual(self.matches(), expected["matches"] - 1)
        page.key("ArrowDown", "ArrowDown")
        page.settle()
        self.assertEqual(self.matches(), expected["best"])

    def search_ended(self):
        frames = self.page.js("return kvarloPage.page.frames")
        self.page.settle()
        return self.page.js("return kvarloPage.page.frames") == frames


if __name__ == "__main__":
    unittest.main(verbosity=2)
