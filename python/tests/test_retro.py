import doctest
import math
import os
import re
import shutil
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import scantelk
from conftest import REPO, golden, legends_clear_of_panels

R_LIBRARY = os.environ.get("SCANTELK_R_LIBRARY")

WORKED = REPO / "python" / "scantelk" / "data" / "retro"


def worked(*names):
    return {name: WORKED / f"{name}.tmp" for name in names}


# (1) The worked example of scripts/make_retro_example.py: each peel's last year lies from the
# base by simple fractions.

@pytest.mark.parametrize("order", [("base", "peel1", "peel2"), ("peel2", "base", "peel1")])
def test_worked_example_gives_its_fractions_in_any_order(order):
    table = scantelk.retro(worked(*order))
    expected = pd.DataFrame({
        "run": ["peel1"] * 3 + ["peel2"] * 3,
        "year": [2008] * 3 + [2007] * 3,
        "quantity": ["ssb", "f", "recruitment"] * 2,
        "value": [2750, 0.3, 10000, 1400, 0.75, 4000],
        "base": [2500, 0.4, 8000, 2000, 0.5, 5000],
        "relative": [0.1, -0.25, 0.25, -0.3, 0.5, -0.2],
    })
    pd.testing.assert_frame_equal(table, expected, rtol=1e-12)
    assert scantelk.mohns_rho(table).to_dict() == pytest.approx(
        {"ssb": -0.1, "f": 0.125, "recruitment": 0.025}, rel=1e-12)
    assert scantelk.mohns_rho(worked(*order), f_column=2)["f"] == pytest.approx(0.2, rel=1e-12)


def test_a_zero_in_the_base_makes_relative_and_rho_nan_for_that_quantity_only(tmp_path):
    text = (WORKED / "base.tmp").read_bytes()
    # The base's SSB in 2008, peel1's last year, is the ninth field of the SSB line.
    zero = re.sub(rb"(Spawning Stock Biomass\r\n(?:.{16}){8})  2\.500000E\+003", rb"\g<1>"
                  + b"  0.000000E+000", text)
    assert zero != text
    (tmp_path / "base.tmp").write_bytes(zero)
    runs = {**worked("peel1", "peel2"), "base": tmp_path / "base.tmp"}
    table = scantelk.retro(runs)
    assert table["relative"].isna().tolist() == [True] + [False] * 5
    rho = scantelk.mohns_rho(runs)
    assert math.isnan(rho["ssb"]) and rho[["f", "recruitment"]].notna().all()


# (2) What the analysis refuses, each with what is wrong.

@pytest.mark.parametrize("call, message", [
    (lambda: scantelk.retro(worked("base")), "needs a base run and at least one peel; found 1"),
    (lambda: scantelk.retro({**worked("base", "peel1"), "again": WORKED / "base.tmp"}),
     'runs "base" and "again" both end in 2009'),
    (lambda: scantelk.retro({**worked("base", "peel1"), "old": golden("fleets")}),
     'peel "old" ends in 1997, before the base run "base" begins in 2000'),
    (lambda: scantelk.retro(worked("base", "peel1"), f_column=4), "f_column must be 1, 2 or 3"),
    (lambda: scantelk.mohns_rho(worked("base", "peel1"), f_column=0),
     "f_column must be 1, 2 or 3"),
    (lambda: scantelk.plot_retro(worked("base", "peel1"), f_column="2"),
     "f_column must be 1, 2 or 3"),
    (lambda: scantelk.retro(worked("base", "peel1"), f_column=True), "f_column must be 1, 2 or 3"),
    (lambda: scantelk.mohns_rho(scantelk.retro(worked("base", "peel1")), f_column=2),
     "f_column applies to runs"),
    (lambda: scantelk.mohns_rho(pd.DataFrame({"relative": [0.1]})),
     "expected the result of retro()"),
    (lambda: scantelk.retro([WORKED / "base.tmp", WORKED / "peel1.tmp"]),
     "every run needs a name"),
])
def test_the_analysis_refuses_with_a_message_naming_the_fault(call, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        call()


def test_a_run_without_years_is_refused(make_run):
    runs = {"base": WORKED / "base.tmp", "empty": make_run("--years", "0")}
    with pytest.raises(ValueError, match='run "empty" has no years'):
        scantelk.retro(runs)


# (3) The plot, and the help pages' examples.

def test_plot_retro_titles_each_panel_with_its_rho_and_names_the_runs(tmp_path):
    figure = scantelk.plot_retro(worked("peel1", "base", "peel2"), tmp_path / "retro.png")
    assert (tmp_path / "retro.png").read_bytes().startswith(b"\x89PNG")
    ssb = figure.axes[0]
    assert [axes.get_title().splitlines()[1] for axes in figure.axes] == [
        "Mohn's rho = -0.100", "Mohn's rho = 0.125", "Mohn's rho = 0.025"]
    assert [text.get_text() for text in figure.axes[-1].get_legend().get_texts()] == [
        "base", "peel1", "peel2"]
    assert legends_clear_of_panels(figure)
    # The base is black; each peel ends in a point at its last year.
    lines = {line.get_label(): line for line in ssb.get_lines()}
    assert lines["base"].get_color() == "#000000"
    points = [line.get_xydata().tolist() for line in ssb.get_lines() if line.get_marker() == "o"]
    assert points == [[[2008, 2750]], [[2007, 1400]]]


@pytest.mark.parametrize("module", ["scantelk.retrospective", "scantelk.plot"])
def test_the_examples_in_the_help_run_as_shown(module):
    assert doctest.testmod(sys.modules[module]).failed == 0


def test_the_r_and_python_packages_ship_the_same_worked_set():
    def files(folder):
        return {path.name: path.read_bytes() for path in folder.glob("*.tmp")}
    shipped_with_r = files(REPO / "r" / "inst" / "extdata" / "retro")
    assert len(shipped_with_r) == 3 and shipped_with_r == files(WORKED)


# (4) Retrospective sets made by scripts/make_run.py --peel and the real scantelk.

@pytest.fixture
def peel_set(make_run, tmp_path):
    """A base of 10 years and its peels 1 to 3, as paths of their summaries."""

    def make(*arguments):
        for peel in range(4):
            make_run("--years", "10", "--peel", str(peel), *arguments, name=f"minus{peel}")
        return {f"minus{peel}": tmp_path / f"minus{peel}.tmp" for peel in range(4)}
    return make


def test_a_generated_set_has_the_rho_of_its_stated_bias_and_the_full_runs_data(peel_set):
    runs = peel_set("--peel-bias", "0.05")
    table = scantelk.retro(runs)
    assert table["run"].tolist() == [f"minus{k}" for k in (1, 2, 3) for _ in range(3)]
    # The summaries hold four significant digits of each estimate.
    assert scantelk.mohns_rho(table).tolist() == pytest.approx([0.05, -0.05, 0.05], abs=2e-3)
    full, minus3 = scantelk.read(runs["minus0"]), scantelk.read(runs["minus3"])
    kept = minus3["years"]
    assert minus3["index_fit"].xs("observed", level="kind").equals(
        full["index_fit"].xs("observed", level="kind")[kept])
    assert minus3["ssb"][kept[:-5]].equals(full["ssb"][kept[:-5]])


def test_a_set_without_ages_has_no_rho_of_ssb_or_recruitment(peel_set):
    rho = scantelk.mohns_rho(peel_set("--ages", "0"))
    assert rho.isna().tolist() == [True, False, True]


# (5) R and Python agree on the same runs.

R_RETRO = """
paths <- commandArgs(TRUE)
runs <- as.list(setNames(paths, sub("[.]tmp$", "", basename(paths))))
table <- scantelk::scantelk_retro(runs)
rho <- scantelk::mohns_rho(table)
cat(table$run, "\\n", sprintf("%a", c(table$value, table$base, table$relative, rho)), "\\n")
"""


@pytest.mark.skipif(not R_LIBRARY or not shutil.which("Rscript"),
                    reason="needs Rscript and SCANTELK_R_LIBRARY, the R package's library")
@pytest.mark.parametrize("generated", [False, True])
def test_r_and_python_give_the_same_differences_and_rho(peel_set, generated):
    runs = peel_set() if generated else worked("base", "peel1", "peel2")
    result = subprocess.run(["Rscript", "-e", R_RETRO, *map(str, runs.values())], check=True,
                            capture_output=True, text=True, env={**os.environ, "R_LIBS": R_LIBRARY})
    names, numbers = result.stdout.splitlines()
    table = scantelk.retro(runs)
    assert names.split() == table["run"].tolist()
    ours = np.concatenate([table[["value", "base", "relative"]].to_numpy().T.ravel(),
                           scantelk.mohns_rho(table).to_numpy()])
    assert [float.fromhex(x) for x in numbers.split()] == pytest.approx(ours, rel=1e-12)
