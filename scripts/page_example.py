#!/usr/bin/env python3
"""Draws doc/haddock-page.png, the top of the report page of examples/haddock that the README
shows.

Runs scantelk on examples/haddock.dat, writes the page with the Python package in python/,
opens it in headless Chromium 1280 pixels wide and keeps the first screen, its colours reduced
so that the picture stays small.

    /usr/bin/python3 scripts/page_example.py [path of scantelk, by default build/scantelk]
"""
import os
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image

ROOT = Path(__file__).resolve().parents[1]
sys.path[:0] = [str(ROOT / "python"), str(ROOT / "scripts")]
from headless_chromium import chromium, open_file, screenshot  # noqa: E402
from scantelk.page import report_page  # noqa: E402  (this repository's package)


def main() -> None:
    binary = sys.argv[1] if len(sys.argv) > 1 else str(ROOT / "build" / "scantelk")
    subprocess.run([binary, str(ROOT / "examples" / "haddock.dat")], check=True)
    picture = ROOT / "doc" / "haddock-page.png"
    os.chdir(ROOT)  # the page names the summary as given: examples/haddock.tmp
    with tempfile.TemporaryDirectory() as folder:
        page = report_page(["examples/haddock.tmp"], Path(folder) / "haddock.html")
        with chromium(width=1280, height=760) as browser:
            open_file(browser, page)
            screenshot(browser, picture, full_page=False)
    Image.open(picture).quantize(colors=24).save(picture, optimize=True)


if __name__ == "__main__":
    main()
