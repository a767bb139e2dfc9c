import copy
import html
import io
import os
import re
import shutil
import subprocess
from pathlib import Path

import matplotlib
import numpy as np
import pytest

import scantelk
from conftest import golden

RETRO = Path(scantelk.__file__).parent / "data" / "retro"
R_LIBRARY = os.environ.get("SCANTELK_R_LIBRARY")


@pytest.fixture(scope="module")
def dask_client():
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) \
            as cluster, distributed.Client(cluster) as client:
        yield client


def copies(folder, sources):
    """The golden summaries `sources` copied into `folder` under the names a, b, c, ..."""
    paths = []
    for name, source in zip("abcdefgh", sources):
        paths.append(folder / f"{name}.tmp")
        shutil.copyfile(golden(source), paths[-1])
    return paths


# (4) gather: one table however the files are read.

@pytest.mark.parametrize("how", ["serial", "workers", "dask"])
def test_gather_gives_compares_table_serially_in_processes_and_on_a_dask_cluster(
        how, tmp_path, request):
    paths = copies(tmp_path, ["haddock", "tiny", "haddock", "fleets", "tiny"])
    ways = {"serial": {}, "workers": {"workers": 2}}
    way = ways.get(how) or {"client": request.getfixturevalue("dask_client")}
    expected = scantelk.compare({path.stem: path for path in reversed(paths)})
    assert scantelk.gather(list(reversed(paths)), **way).equals(expected)
    assert scantelk.gather(str(tmp_path / "*.tmp"), **way)["run"].unique().tolist() == list("abcde")

    broken = tmp_path / "c.tmp"
    broken.write_bytes(broken.read_bytes()[:-200])
    with pytest.raises(ValueError, match=re.escape(f"{broken}: the file is 60323 bytes")):
        scantelk.gather(paths, **way)
    with pytest.raises(ValueError, match=re.escape(f"{tmp_path / 'gone.tmp'}: No such file")):
        scantelk.gather(paths[:2] + [tmp_path / "gone.tmp"], **way)


@pytest.mark.parametrize("paths, names, message", [
    (["x/run.tmp", "y/run.tmp"], None, 'two runs are named "run": x/run.tmp and y/run.tmp'),
    (["a.tmp", "b.tmp"], ["s", "s"], 'two runs are named "s": a.tmp and b.tmp'),
    (["a.tmp", "b.tmp"], ["s"], "1 names for 2 files"),
    ("nowhere/*.tmp", None, "no file matches nowhere/*.tmp"),
])
def test_gather_refuses_names_it_cannot_tell_apart_before_reading(paths, names, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        scantelk.gather(paths, names)


# (5) Quantiles and the fan chart.

def three_runs():
    """Three runs of two years, 2000 and 2001, whose SSB, age-1 numbers and F column 2 are
    set by hand; the first run lacks a value in 2001."""
    runs = [copy.deepcopy(scantelk.read(golden("tiny"))) for _ in range(3)]
    for run, (first, second) in zip(runs, [(1.0, np.nan), (2.0, 4.0), (4.0, 8.0)]):
        run["ssb"][:] = [first, second]
        run["stock_numbers"].loc[1] = [10 * first, 10 * second]
        run["average_f"].loc[2] = [first / 10, second / 10]
    return runs


def test_quantiles_are_rs_type_7_over_the_runs_that_have_a_value():
    # Of 1, 2, 4 at p: position 1 + 2p; of 4, 8 (the NaN left out): 1 + p.
    ssb = {2000: [1.1, 1.5, 2.0, 3.0, 3.8], 2001: [4.2, 5.0, 6.0, 7.0, 7.8]}
    table = scantelk.quantiles(three_runs(), f_column=2)
    for quantity, scale in [("ssb", 1), ("recruitment", 10), ("f", 0.1)]:
        rows = table[table["quantity"] == quantity]
        assert rows["year"].tolist() == [2000] * 5 + [2001] * 5
        assert rows["prob"].tolist() == [0.05, 0.25, 0.5, 0.75, 0.95] * 2
        np.testing.assert_allclose(rows["value"], np.multiply(ssb[2000] + ssb[2001], scale))
        assert rows["n_runs"].tolist() == [3] * 5 + [2] * 5
    with pytest.raises(ValueError, match="probs must lie between 0 and 1"):
        scantelk.quantiles(three_runs(), probs=[0.5, 1.5])


@pytest.mark.skipif(not R_LIBRARY or not shutil.which("Rscript"),
                    reason="needs Rscript and SCANTELK_R_LIBRARY, the R package's library")
def test_r_and_python_quantiles_agree_to_the_bit():
    paths = [RETRO / f"{name}.tmp" for name in ("base", "peel1", "peel2")]
    script = ('q <- scantelk::scantelk_quantiles(commandArgs(TRUE), probs = c(0.1, 0.5, 0.9))\n'
              'cat(sprintf("%s %d %a %d", q$quantity, q$year, q$value, q$n_runs), sep = "\\n")')
    result = subprocess.run(["Rscript", "-e", script, *map(str, paths)], check=True, text=True,
                            capture_output=True, env={**os.environ, "R_LIBS": R_LIBRARY})
    # The peels end in 2008 and 2007: their last years have two runs and one.
    from_r = [(q, int(y), float.fromhex(v), int(n))
              for q, y, v, n in (line.split() for line in result.stdout.splitlines())]
    ours = scantelk.quantiles(paths, probs=[0.1, 0.5, 0.9])
    assert from_r == list(ours[["quantity", "year", "value", "n_runs"]].itertuples(
        index=False, name=None))
    assert ours["n_runs"].tolist()[21:30] == [3] * 3 + [2] * 3 + [1] * 3


def test_the_fan_chart_draws_the_median_the_bands_and_the_base_with_one_legend():
    runs = dict(zip(["one", "two", "three"], three_runs()))
    table = scantelk.quantiles(runs)
    figure = scantelk.plot_ensemble(runs, base="two")
    panels = figure.axes
    assert [axes.get_title() for axes in panels] == [
        "Spawning stock biomass", "Recruitment (first age)", "Average F, column 1"]
    for axes, quantity in zip(panels, ["ssb", "recruitment", "f"]):
        median, base = axes.get_lines()
        assert [median.get_label(), base.get_label()] == ["median", "two"]
        expected = table[(table["quantity"] == quantity) & (table["prob"] == 0.5)]["value"]
        np.testing.assert_array_equal(median.get_ydata(), expected)
        assert [band.get_label() for band in axes.collections] == ["90 %", "50 %"]
    assert [axes.get_legend() is not None for axes in panels] == [False, False, True]
    assert [text.get_text() for text in panels[2].get_legend().get_texts()] == [
        "90 %", "50 %", "median", "two"]
    with pytest.raises(ValueError, match='base "four" is not a run of the ensemble'):
        scantelk.plot_ensemble(runs, base="four")


@pytest.mark.parametrize("base", ["cost $5 or $6", "$\\frac$"])
def test_the_fan_chart_shows_the_base_runs_name_as_given(base):
    runs = dict(zip(["one", base, "three"], three_runs()))
    figure = scantelk.plot_ensemble(runs, base=base)
    svg = io.StringIO()
    with matplotlib.rc_context({"svg.fonttype": "none"}):
        figure.savefig(svg, format="svg")  # as math text, the name would not parse or lose its $
    texts = re.sub(r"<!--.*?-->", "", svg.getvalue())  # matplotlib's comments hold the raw text
    assert html.escape(base, quote=False) in texts
