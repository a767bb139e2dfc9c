import csv
import io
import os
import re
import shutil
import subprocess

import numpy as np
import pytest

import scantelk
from conftest import golden, legends_clear_of_panels

R_LIBRARY = os.environ.get("SCANTELK_R_LIBRARY")

# Prints R's long form as CSV, each value in hexadecimal so that no digit is lost.
R_LONG_FORM = """
long <- as.data.frame(scantelk::read_scantelk(commandArgs(TRUE)[1]))
long$value <- sprintf("%a", long$value)
write.csv(long, stdout(), row.names = FALSE, na = "")
"""


# (4) R and Python give the same long form.

@pytest.mark.skipif(not R_LIBRARY or not shutil.which("Rscript"),
                    reason="needs Rscript and SCANTELK_R_LIBRARY, the R package's library")
@pytest.mark.parametrize("name", ["tiny", "fleets", "haddock"])
def test_r_and_python_long_forms_agree(name):
    result = subprocess.run(["Rscript", "-e", R_LONG_FORM, golden(name)], check=True,
                            capture_output=True, text=True, env={**os.environ, "R_LIBS": R_LIBRARY})
    header, *rows = csv.reader(io.StringIO(result.stdout))
    long = scantelk.to_long(scantelk.read(golden(name)))
    assert header == long.columns.tolist()
    labels = long.drop(columns="value").astype({"kind": object}).fillna("")
    assert [(b, int(r), k, int(y)) for b, r, k, y, _ in rows] == list(
        labels.itertuples(index=False, name=None))
    from_r = np.array([float.fromhex(row[-1]) for row in rows])
    ours = long["value"].to_numpy()
    within_one_unit = np.abs(from_r - ours) <= np.spacing(np.abs(ours))
    assert (within_one_unit | (from_r == ours) | (np.isnan(from_r) & np.isnan(ours))).all()


def test_compare_stacks_runs_of_different_years_under_their_names():
    both = scantelk.compare({"tiny": golden("tiny"), "fleets": scantelk.read(golden("fleets"))})
    fleets = both[both["run"] == "fleets"].drop(columns="run").reset_index(drop=True)
    assert fleets.equals(scantelk.to_long(scantelk.read(golden("fleets"))))
    assert (both["run"] == "tiny").sum() == 58


# (3) The long forms' types: rows that sort as numbers, labels as categoricals of fixed
# categories, so that runs stack without turning them into text.

def test_long_forms_have_integer_rows_and_the_same_categories_for_every_run(make_run):
    types = {"block": "category", "row": "int64", "kind": "category", "year": "int64",
             "value": "float64"}
    haddock = scantelk.to_long(scantelk.read(golden("haddock")))
    both = scantelk.compare({"tiny": golden("tiny"), "fleets": golden("fleets")})
    empty = scantelk.compare({"run": make_run("--years", "0")})
    for long, columns in [(haddock, types), (both, {"run": "category", **types}),
                          (empty, {"run": "category", **types})]:
        assert long.dtypes.astype(str).to_dict() == columns
        assert list(long["block"].cat.categories) == list(scantelk.long_form.BLOCKS)
        assert list(long["kind"].cat.categories) == [
            "input", "effective", "observed", "predicted", "std_residual"]
    rows = haddock.groupby("block", observed=True)["row"].unique().map(list)
    assert rows[["stock_numbers", "index_fit", "average_f", "ssb", "recruitment"]].tolist() == [
        list(range(1, 11)), [1, 2, 4], [1, 2, 3], [1], [1]]
    assert list(both["run"].cat.categories) == ["tiny", "fleets"]
    assert empty.empty


def test_compare_given_a_list_says_it_wants_names():
    with pytest.raises(ValueError, match=re.escape('every run needs a name: runs = {"base"')):
        scantelk.compare([golden("tiny"), golden("fleets")])


# (5) The plots return their Figure and write a PNG when given a path.


def test_plot_and_plot_compare_return_the_figure_and_write_a_png(tmp_path):
    run = scantelk.read(golden("fleets"))
    assert len(scantelk.plot(run).axes) == 5
    figure = scantelk.plot_compare({"fleets": run, "tiny": golden("tiny")}, tmp_path / "c.png",
                                   f_column=2)
    assert (tmp_path / "c.png").read_bytes().startswith(b"\x89PNG")
    assert [axes.get_title() for axes in figure.axes][2] == "Average F, column 2"
    assert [text.get_text() for text in figure.axes[-1].get_legend().get_texts()] == [
        "fleets", "tiny"]
    assert legends_clear_of_panels(scantelk.plot(run)) and legends_clear_of_panels(figure)
    with pytest.raises(ValueError, match="f_column must be 1, 2 or 3"):
        scantelk.plot_compare({"fleets": run}, f_column=4)


def test_short_runs_get_whole_year_ticks_and_a_single_year_shows_as_points(make_run):
    one = make_run("--years", "1", name="one")
    two = make_run("--years", "2", name="two")
    for figure in scantelk.plot(one), scantelk.plot(two), scantelk.plot_compare({"one": one}):
        for axes in figure.axes:
            low, high = axes.get_xlim()
            ticks = [tick for tick in axes.get_xticks() if low <= tick <= high]
            assert len(ticks) >= 2 and all(tick == round(tick) for tick in ticks)
    ssb_line = scantelk.plot(one).axes[0].get_lines()[0]
    assert ssb_line.get_marker() == "o"
    assert scantelk.plot(two).axes[0].get_lines()[0].get_marker() in ("None", None, "")
