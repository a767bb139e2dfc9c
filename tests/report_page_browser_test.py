"""The report page in a real browser: headless Chromium opens it from a file, as a reader would.

Pages and full-page screenshots of each layout (one run with its fits, a run whose report was
cut short, three runs, a retrospective set, 25 replicates drawn as an ensemble) are kept in
SCANTELK_PAGE_OUTPUT (CTest sets it to a folder of the build), so that they can be looked at
after the test.
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

BINARY = os.environ.get("SCANTELK_BINARY", str(REPO / "build" / "scantelk"))
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


def simulated(base: Path, *arguments: str, options=(), cut=None) -> Path:
    """A run of scripts/make_run.py converted by scantelk with `options`; `cut`, a heading and
    a number of lines, ends the report that many lines after the heading."""
    subprocess.run([sys.executable, REPO / "scripts" / "make_run.py", base, *arguments],
                   check=True)
    if cut is not None:
        lines = base.with_suffix(".rep").read_text().splitlines(keepends=True)
        end = lines.index(cut[0] + "\n") + 1 + cut[1]
        base.with_suffix(".rep").write_text("".join(lines[:end]))
    subprocess.run([BINARY, *options, base.with_suffix(".dat")], check=True)
    return base.with_suffix(".tmp")


def haddock(folder: Path) -> list[Path]:
    """The bundled example converted with --fits, so that its page shows the fits."""
    for extension in (".dat", ".rep"):
        (folder / f"haddock{extension}").write_bytes(
            (REPO / "examples" / f"haddock{extension}").read_bytes())
    subprocess.run([BINARY, "--fits", folder / "haddock.dat"], check=True)
    return [folder / "haddock.tmp"]


def truncated(folder: Path) -> list[Path]:
    """The haddock example whose report ends inside "Population Numbers", converted with --nan."""
    return [simulated(folder / "truncated", *HADDOCK, options=["--nan"],
                      cut=("Population Numbers", 20))]


def three_runs(folder: Path) -> list[Path]:
    return [simulated(folder / f"seed{seed}", *HADDOCK, "--seed", str(seed)) for seed in (1, 2, 3)]


def retrospective_set(folder: Path) -> list[Path]:
    """The haddock example and its peels, made by scripts/make_run.py and scantelk."""
    return [simulated(folder / ("retro-base" if peel == 0 else f"retro-peel{peel}"), *HADDOCK,
                      "--title", f"Haddock, last {peel} years removed" if peel else
                      "Haddock, base run", "--peel", str(peel))
            for peel in range(PEELS + 1)]


def replicates(folder: Path) -> list[Path]:
    """25 replicates of the haddock example's stock: an ensemble."""
    subprocess.run([sys.executable, REPO / "scripts" / "make_run.py", folder / "replicate",
                    *HADDOCK, "--replicates", "25"], check=True)
    subprocess.run([BINARY, *sorted(folder.glob("replicate-*.dat"))], check=True)
    return sorted(folder.glob("replicate-*.tmp"))


@pytest.mark.parametrize("name, make, heading", [
    ("haddock", haddock, "Simulated haddock-like stock, base run"),
    ("truncated", truncated, "Simulated stock"),
    ("three", three_runs, "3 runs compared"),
    ("retro", retrospective_set, "Haddock, base run"),
    ("replicates", replicates, "25 runs compared"),
])
def test_chromium_shows_every_figure_within_the_width_and_a_row_per_year(
        browser, output, name, make, heading):
    summaries = make(output)
    page = report_page(summaries, output / f"{name}.html")
    open_file(browser, page)
    assert [entry for entry in browser.get_log("browser") if entry["level"] == "SEVERE"] == []
    assert browser.find_element(By.TAG_NAME, "h1").text == heading
    figures = browser.find_elements(By.CSS_SELECTOR, "figure svg")
    assert len(figures) == page.read_text().count("<figure")
    assert all(svg.size["width"] > 0 and svg.size["height"] > 0 for svg in figures)
    assert browser.execute_script("return document.documentElement.scrollWidth") <= 1280
    gaps = browser.find_elements(By.ID, "completeness")
    assert len(gaps) == (name == "truncated")
    if gaps:
        assert gaps[0].location["y"] < figures[0].location["y"]
    rows = browser.find_elements(By.CSS_SELECTOR, "#key-quantities tbody tr")
    shown = max(summaries, key=lambda summary: scantelk.read(summary)["years"][-1])
    assert sum(row.is_displayed() for row in rows) == len(scantelk.read(shown)["years"])
    if name == "retro":
        assert browser.find_element(By.ID, "mohns-rho").is_displayed()
    ensemble = browser.find_elements(By.ID, "ensemble-quantiles")
    assert [table.is_displayed() for table in ensemble] == ([True] if name == "replicates" else [])
    fits = browser.find_elements(By.CSS_SELECTOR, "#fits figure")
    assert len(fits) == (name == "haddock")
    screenshot(browser, page.with_suffix(".png"))
