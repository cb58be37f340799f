"""Drives the site in headless Chromium: serves it with scripts/serve-web, opens the page in a
fresh profile, and reads the canvas, the menu bar and the modal boxes."""
import base64
import functools
import http.server
import os
import pathlib
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

SOURCE = pathlib.Path(__file__).resolve().parents[2]


class Frame:
    """A canvas frame: width, height and RGB triples row by row."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def count(self, colour):
        return sum(1 for i in range(0, len(self.rgb), 3) if tuple(self.rgb[i:i + 3]) == colour)

    def differing(self, other, region=None):
        """Pixels whose colours differ, within region (x0, y0, x1, y1) when given."""
        x0, y0, x1, y1 = region or (0, 0, self.width, self.height)
        n = 0
        for y in range(y0, y1):
            a = self.rgb[3 * (y * self.width + x0):3 * (y * self.width + x1)]
            b = other.rgb[3 * (y * other.width + x0):3 * (y * other.width + x1)]
            if a != b:
                n += sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
        return n

    def components(self, colour):
        """Connected areas of one colour, as lists of (x, y)."""
        seen = set()
        areas = []
        for y in range(self.height):
            for x in range(self.width):
                if (x, y) in seen or self.pixel(x, y) != colour:
                    continue
                stack, area = [(x, y)], []
                seen.add((x, y))
                while stack:
                    px, py = stack.pop()
                    area.append((px, py))
                    for nx, ny in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                        if 0 <= nx < self.width and 0 <= ny < self.height and (nx, ny) not in seen \
                                and self.pixel(nx, ny) == colour:
                            seen.add((nx, ny))
                            stack.append((nx, ny))
                areas.append(area)
        return areas


def read_png(source):
    """An 8-bit RGB or RGBA PNG without interlacing (what kvarlo-cli render writes, and what
    Chromium's screenshots are) as a Frame; source is a file's path or the PNG's bytes."""
    data = source if isinstance(source, bytes) else pathlib.Path(source).read_bytes()
    path = "the PNG" if isinstance(source, bytes) else source
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    assert depth == 8 and colour_type in (2, 6) and interlace == 0, f"{path}: unexpected PNG form"
    channels = 3 if colour_type == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append(line)
        previous = line
    rgb = bytearray()
    for line in rows:
        for x in range(width):
            rgb += line[x * channels:x * channels + 3]
    return Frame(width, height, bytes(rgb))


class Site:
    """scripts/serve-web on a free port, for as long as the tests run."""

    def __init__(self, folder):
        self.process = subprocess.Popen(
            [str(SOURCE / "scripts" / "serve-web"), "--port", "0", str(folder)],
            stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        assert line.startswith("kvarlo: "), f"serve-web said: {line!r}"
        self.address = line.split(" ", 1)[1].strip()

    def close(self):
        self.process.terminate()
        self.process.wait()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass


class PlainSite:
    """The site from a server that sends no isolation headers, as a static host would."""

    def __init__(self, folder, host="localhost"):
        handler = functools.partial(QuietHandler, directory=str(folder))
        bind = "127.0.0.1" if host == "localhost" else host
        self.server = http.server.ThreadingHTTPServer((bind, 0), handler)
        self.address = f"http://{host}:{self.server.server_address[1]}/"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Page:
    """The page in a headless Chromium of its own (a fresh profile, downloads into a folder)."""

    def __init__(self, address):
        self.address = address
        self.profile = tempfile.TemporaryDirectory()
        self.downloads = pathlib.Path(self.profile.name) / "downloads"
        self.downloads.mkdir()
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                         "--window-size=1000,800", f"--user-data-dir={self.profile.name}/chrome",
                         "--autoplay-policy=no-user-gesture-required"):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        options.add_experimental_option("prefs", {
            "download.default_directory": str(self.downloads),
            "download.prompt_for_download": False,
        })
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Page.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": str(self.downloads)})

    def close(self):
        self.driver.quit()
        self.profile.cleanup()

    def before_each_document(self, script):
        """Runs script in every document this browser opens from now on, before the page's own."""
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": script})

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, condition, what, timeout=60.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = condition()
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}")

    def open(self, query=""):
        self.driver.get(self.address + query)
        self.wait(lambda: self.js("return window.kvarloPage && kvarloPage.page.firstFrame > 0"),
                  "the first frame")
        self.settle()

    def settle(self):
        """Waits until no new frame came for a while (the program has nothing left to draw)."""
        last = -1
        while True:
            frames = self.js("return kvarloPage.page.frames")
            if frames == last:
                return
            last = frames
            time.sleep(0.3)

    def frame(self):
        width, height, data = self.js("""
            const c = document.querySelector('.window canvas');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let s = '';
            for (let i = 0; i < d.length; i += 4)
                s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
            return [c.width, c.height, btoa(s)];""")
        return Frame(width, height, base64.b64decode(data))

    def canvas(self):
        return self.driver.find_element(By.CSS_SELECTOR, ".window canvas")

    def click(self, x, y):
        """A left click at client coordinates of the canvas."""
        self.js("""
            const c = document.querySelector('.window canvas');
            const r = c.getBoundingClientRect();
            for (const type of ['mousedown', 'mouseup'])
                c.dispatchEvent(new MouseEvent(type, {clientX: r.left + arguments[0] + 0.5,
                    clientY: r.top + arguments[1] + 0.5, button: 0, buttons: type === 'mousedown' ? 1 : 0,
                    bubbles: true}));""", x, y)

    def menu_titles(self):
        return self.js("return [...document.querySelectorAll('.menubar .top')].map(e => e.textContent)")

    def choose(self, top, item):
        """Opens the menu whose title starts with `top` and chooses the item starting with `item`."""
        self.js("""
            const top = [...document.querySelectorAll('.menubar .top')]
                .find(e => e.textContent.startsWith(arguments[0]));
            top.dispatchEvent(new MouseEvent('mousedown', {bubbles: true}));
            const row = [...document.querySelectorAll('.popup .item')]
                .find(e => e.textContent.startsWith(arguments[1]));
            row.dispatchEvent(new MouseEvent('mouseup', {bubbles: true}));""", top, item)

    def box(self):
        """The open modal box: its caption and text, or None."""
        return self.js("""
            const box = document.querySelector('#modal-layer .box');
            if (!box) return null;
            return {caption: box.querySelector('.caption').textContent.replace('✕', ''),
                    text: box.querySelector('.body').textContent,
                    buttons: [...box.querySelectorAll('button')].map(b => b.textContent)};""")

    def shot_of(self, selector):
        """What the browser shows of the first element that selector finds, as a Frame."""
        return read_png(self.driver.find_element(By.CSS_SELECTOR, selector).screenshot_as_png)

    def press_box_button(self, label):
        self.js("""[...document.querySelectorAll('#modal-layer .box button')]
            .find(b => b.textContent.startsWith(arguments[0])).click();""", label)

    def key(self, code, key, alt=False, shift=False):
        for kind in ("keydown", "keyup"):
            self.js("""document.dispatchEvent(new KeyboardEvent(arguments[0], {code: arguments[1],
                key: arguments[2], altKey: arguments[3], shiftKey: arguments[4], bubbles: true}));""",
                    kind, code, key, alt, shift)

    def downloaded(self, name, timeout=30.0):
        path = self.downloads / name
        self.wait(lambda: path.exists() and not (self.downloads / (name + ".crdownload")).exists(),
                  f"the download of {name}", timeout)
        return path.read_bytes()


def native_reference_save():
    """The desktop program's save on a stopped clock (tests/e2e); None when not built."""
    path = pathlib.Path(os.environ.get("KVARLO_NATIVE_REFERENCE_SAVE",
                                       SOURCE / "build/default/tests/e2e/e2e_reference_save"))
    return path if path.is_file() else None


def site_on_a_stopped_clock(site, folder, seconds):
    """A copy of the site in folder whose program reads the calendar clock as stopped at
    seconds: the program's threads read it through Date.now, in the page and in each worker
    (the program's own time, its waits and timers, run on performance.now and go on)."""
    shutil.copytree(site, folder, dirs_exist_ok=True)
    stop = f"Date.now = () => {int(seconds) * 1000};\n".encode()
    for script in ("kvarlo.js", "kvarlo.worker.js"):
        path = pathlib.Path(folder) / script
        path.write_bytes(stop + path.read_bytes())
    return pathlib.Path(folder)


def native_cli():
    """The desktop build's kvarlo-cli, which draws the reference frames; None when not built."""
    path = pathlib.Path(os.environ.get("KVARLO_NATIVE_CLI", SOURCE / "build/default/cli/kvarlo-cli"))
    return path if path.is_file() else None
