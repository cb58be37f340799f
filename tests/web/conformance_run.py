"""Runs the conformance suite's page (conformance.html) in headless Chromium and passes on what
GoogleTest printed and its exit status. Usage: conformance_run.py FOLDER"""
import pathlib
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from page_driver import Page, Site  # noqa: E402


def main():
    folder = pathlib.Path(sys.argv[1])
    site = Site(folder)
    page = Page(site.address)
    try:
        page.driver.get(site.address + "conformance.html")
        status = page.wait(lambda: page.js(
            "return window.kvarloPage && kvarloPage.page.status !== null ? [kvarloPage.page.status] : null"),
            "the suite's end", timeout=500)[0]
        print("\n".join(page.js("return kvarloPage.page.output")))
        return status
    finally:
        page.close()
        site.close()


if __name__ == "__main__":
    sys.exit(main())
