#!/usr/bin/python3
"""Measures the page in headless Chromium (local scripts/serve-web): the first frame after
navigation, the site's program compressed, and how soon a key is answered during a search on
a dense figure. Usage: bench/web_page.py [SITE]  (default build/web/site)"""
import gzip
import pathlib
import statistics
import sys
import time

SOURCE = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE / "tests" / "web"))
from page_driver import Page, Site  # noqa: E402


def compressed_sizes(site):
    sizes = {}
    for name in ("kvarlo.wasm", "kvarlo.js", "kvarlo.worker.js", "page.js", "isolation.js"):
        sizes[name] = len(gzip.compress((site / name).read_bytes(), compresslevel=9))
    return sizes


def first_frames(address, runs):
    """ms from navigation to the first frame on the canvas: cold (a fresh browser profile, so no
    cache and an empty play folder) and warm (the same page loaded again), with the start-up
    steps of each cold load (what the first frame waited for)."""
    cold, warm, steps = [], [], []
    for _ in range(runs):
        page = Page(address)
        try:
            page.open()
            cold.append(page.js("return kvarloPage.page.firstFrame"))
            steps.append(page.js("return kvarloPage.page.startup || {}"))
            page.open()
            warm.append(page.js("return kvarloPage.page.firstFrame"))
        finally:
            page.close()
    return cold, warm, steps


KEY_TO_FRAME = """
    const done = arguments[arguments.length - 1];
    const before = kvarloPage.page.frames, start = performance.now();
    document.dispatchEvent(new KeyboardEvent('keydown', {code: 'Space', key: ' ', bubbles: true}));
    document.dispatchEvent(new KeyboardEvent('keyup', {code: 'Space', key: ' ', bubbles: true}));
    (function wait() {
        if (kvarloPage.page.frames > before) done(performance.now() - start);
        else setTimeout(wait, 1);
    })();"""


def answers_during_search(page, samples):
    """ms from a key (Space, which changes the statistics' columns) to the next frame: first
    three keys before any search (the first key after loading pays for code that runs for the
    first time, search or not), then `samples` keys while the search on
    figures/full-centre.t1a runs."""
    page.open("?open=figures/full-centre.t1a")
    first = [page.driver.execute_async_script(KEY_TO_FRAME) for _ in range(3)]
    page.choose("Решение", "Заново искать Решение")
    time.sleep(1.0)
    delays = []
    for _ in range(samples):
        delays.append(page.driver.execute_async_script(KEY_TO_FRAME))
        time.sleep(0.2)
    return first, delays


def main():
    site_folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else SOURCE / "build/web/site"
    sizes = compressed_sizes(site_folder)
    print("gzip -9:", sizes, "total", sum(sizes.values()))
    print("load average:", open("/proc/loadavg").read().split()[:3])
    site = Site(site_folder)
    try:
        cold, warm, steps = first_frames(site.address, 3)
        for frame, step in zip(cold, steps):
            print("cold load, ms after navigation:", dict(sorted(step.items(), key=lambda s: s[1])),
                  "first frame", round(frame))
        print("first frame ms: cold", [round(t) for t in cold], "median", round(statistics.median(cold)),
              "/ warm", [round(t) for t in warm], "median", round(statistics.median(warm)))
        page = Page(site.address)
        try:
            first, delays = answers_during_search(page, 30)
        finally:
            page.close()
        print("keys before the search, ms:", [round(d) for d in first])
        print("all:", [round(d) for d in delays])
        print("key to frame during a search, ms: median", round(statistics.median(delays), 1),
              "max", round(max(delays), 1), "over", len(delays))
    finally:
        site.close()


if __name__ == "__main__":
    main()
