"""Headless Chromium through Selenium, for the report page's browser test and its screenshots.

Debian's chromium, chromium-driver and python3-selenium (scripts/install-deps.sh installs them).
The browser starts with a fresh profile and without any network service of its own, so that a
page that needs nothing beside it is seen as a reader sees it offline.
"""
from __future__ import annotations

import base64
import contextlib
import shutil
import tempfile
from pathlib import Path
from typing import Iterator

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--hide-scrollbars"]


@contextlib.contextmanager
def chromium(width: int = 1280, height: int = 900) -> Iterator[webdriver.Chrome]:
    """A headless Chromium whose viewport is `width` x `height` CSS pixels."""
    profile = tempfile.mkdtemp(prefix="scantelk-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in FLAGS + [f"--user-data-dir={profile}", f"--window-size={width},{height}"]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver") or
                                              "/usr/bin/chromedriver"), options=options)
    try:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def open_file(driver: webdriver.Chrome, page: Path) -> None:
    driver.get(page.resolve().as_uri())


def screenshot(driver: webdriver.Chrome, path: Path, full_page: bool = True) -> None:
    """A PNG of the whole page (or of the viewport), as wide as the viewport."""
    arguments = {"format": "png"}
    if full_page:
        size = driver.execute_cdp_cmd("Page.getLayoutMetrics", {})["cssContentSize"]
        arguments.update(captureBeyondViewport=True, clip={
            "x": 0, "y": 0, "width": size["width"], "height": size["height"], "scale": 1})
    data = driver.execute_cdp_cmd("Page.captureScreenshot", arguments)["data"]
    path.write_bytes(base64.b64decode(data))
