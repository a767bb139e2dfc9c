"""The report page in a real browser: headless Chromium opens it from a file, as a reader would.

Pages and full-page screenshots are kept in SCANTELK_PAGE_OUTPUT (CTest sets it to a folder of
the build), so that they can be looked at after the test.
"""
import os
import subprocess
import sys
from pathlib import Path

import pytest
from selenium.webdriver.common.by import By

REPO = Path(__file__).resolve().parents[1]
sys.path[:0] = [str(REPO / "scripts"), str(REPO / "python")]
import scantelk  # noqa: E402  (this repository's package)
from headless_chromium import chromium, open_file, screenshot  # noqa: E402
from plot_retro_example import HADDOCK  # noqa: E402  (the arguments that made examples/haddock)
from scantelk.page import report_page  # noqa: E402

PEELS = 4


@pytest.fixture(scope="module")
def output(tmp_path_factory):
    folder = os.environ.get("SCANTELK_PAGE_OUTPUT")
    folder = Path(folder) if folder else tmp_path_factory.mktemp("pages")
    folder.mkdir(parents=True, exist_ok=True)
    return folder


@pytest.fixture(scope="module")
def browser():
    with chromium(width=1280, height=900) as driver:
        yield driver


def haddock(folder: Path) -> list[Path]:
    summary = folder / "haddock.tmp"
    summary.write_bytes((REPO / "tests" / "golden" / "haddock.tmp").read_bytes())
    return [summary]


def retrospective_set(folder: Path) -> list[Path]:
    """The haddock example and its peels, made by scripts/make_run.py and scantelk."""
    binary = os.environ.get("SCANTELK_BINARY", str(REPO / "build" / "scantelk"))
    summaries = []
    for peel in range(PEELS + 1):
        base = folder / ("retro-base" if peel == 0 else f"retro-peel{peel}")
        subprocess.run([sys.executable, REPO / "scripts" / "make_run.py", base, *HADDOCK,
                        "--title", f"Haddock, last {peel} years removed" if peel else "Haddock, base run",
                        "--peel", str(peel)],
                       check=True)
        subprocess.run([binary, base.with_suffix(".dat")], check=True)
        summaries.append(base.with_suffix(".tmp"))
    return summaries


@pytest.mark.parametrize("name, make", [("haddock", haddock), ("retro", retrospective_set)])
def test_chromium_shows_every_figure_and_a_row_per_year(browser, output, name, make):
    summaries = make(output)
    page = report_page(summaries, output / f"{name}.html")
    open_file(browser, page)
    assert [entry for entry in browser.get_log("browser") if entry["level"] == "SEVERE"] == []
    figures = browser.find_elements(By.CSS_SELECTOR, "figure svg")
    assert len(figures) == page.read_text().count("<figure")
    assert all(svg.size["width"] > 0 and svg.size["height"] > 0 for svg in figures)
    rows = browser.find_elements(By.CSS_SELECTOR, "#key-quantities tbody tr")
    assert sum(row.is_displayed() for row in rows) == len(scantelk.read(summaries[0])["years"])
    if name == "retro":
        assert browser.find_element(By.ID, "mohns-rho").is_displayed()
    screenshot(browser, page.with_suffix(".png"))
