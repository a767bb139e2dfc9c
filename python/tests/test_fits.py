import math
import os
import re
import shutil
import subprocess

import numpy as np
import pytest

import scantelk
from conftest import REPO, golden
from scantelk.fits import fits_path

# A hand-made set of proportions for the tiny run (catch input sample size 100 in 2000 and
# 2001, discard input sample size 0): the same text and numbers are in the R package's tests.
CASES = """table,fleet,year,age,observed,predicted
catch_proportions,1,2000,1,0.3,0.2
catch_proportions,1,2000,2,0.5,0.5
catch_proportions,1,2000,3,0.2,0.3
catch_proportions,1,2001,1,,0.25
catch_proportions,1,2001,2,0.4,0
catch_proportions,1,2001,3,0.4,1
catch_proportions,2,2000,1,0.5,0.5
discard_proportions,1,2000,1,0.1,0.2
"""


@pytest.fixture
def tiny(tmp_path):
    """The tiny summary and its fits CSV, copied to tmp_path."""
    for name in ("tiny.tmp", "tiny.fits.csv"):
        shutil.copy(REPO / "tests" / "golden" / name, tmp_path / name)
    return tmp_path / "tiny.tmp"


@pytest.fixture
def haddock(tmp_path):
    """The example converted with --fits in tmp_path: its summary's path."""
    for suffix in (".dat", ".rep"):
        shutil.copy(REPO / "examples" / f"haddock{suffix}", tmp_path / f"haddock{suffix}")
    binary = os.environ.get("SCANTELK_BINARY", str(REPO / "build" / "scantelk"))
    subprocess.run([binary, "--fits", tmp_path / "haddock.dat"], check=True)
    return tmp_path / "haddock.tmp"


def cases_run(tmp_path):
    csv = tmp_path / "cases.fits.csv"
    csv.write_text(CASES)
    return dict(scantelk.read(golden("tiny")), fits=scantelk.read_fits(csv))


def test_the_fits_beside_a_summary_are_read_with_their_types(tiny):
    fits = scantelk.read(tiny)["fits"]
    assert fits.dtypes.astype(str).tolist() == ["object", "int64", "int64", "Int64", "float64",
                                                "float64"]
    header_only = tiny.with_name("empty.fits.csv")
    header_only.write_text("table,fleet,year,age,observed,predicted\n")
    assert scantelk.read_fits(header_only).dtypes.equals(fits.dtypes)
    assert fits.iloc[1].tolist()[:3] == ["catch", 1, 2001] and fits["age"].isna()[:4].all()
    assert fits["predicted"].tolist()[:2] == [1498.2, 1260.1]
    assert fits["table"].unique().tolist() == ["catch", "discards", "catch_proportions",
                                               "discard_proportions"]


def test_the_examples_fits_hold_every_fleet_year_and_age_and_its_residuals_n_100(haddock):
    run = scantelk.read(haddock)
    fits = run["fits"]
    assert fits.groupby("table", sort=False).size().to_dict() == {
        "catch": 80, "discards": 80, "catch_proportions": 800, "discard_proportions": 800}
    assert fits.iloc[0].tolist()[:3] == ["catch", 1, 1982] and fits["observed"][0] == 273.3
    # The summary keeps the observed catch.
    assert fits["observed"][:40].tolist() == run["catch_weight"].loc[1].tolist()
    residuals = scantelk.composition_residuals(run)
    assert (residuals["n"] == 100).all() and residuals["residual"].notna().all()


def test_numbers_read_as_the_nearest_double(tmp_path):
    csv = tmp_path / "run.fits.csv"
    csv.write_text("table,fleet,year,age,observed,predicted\n"
                   "catch,1,2000,,1.123286952001811e+302,2.308677408476536e-254\n")
    expected = [float.fromhex("0x1.4f769b8508495p+1003"), float.fromhex("0x1.5aa6108b0b9efp-843")]
    assert scantelk.read_fits(csv).iloc[0, 4:].tolist() == expected


def test_no_csv_gives_no_fits_and_an_older_one_is_left_out_with_a_warning(tiny):
    csv = tiny.with_name("tiny.fits.csv")
    copied_just_before = os.path.getmtime(tiny) - 0.5  # as a copy without file times leaves it
    os.utime(csv, (copied_just_before, copied_just_before))
    assert "fits" in scantelk.read(tiny)
    seconds_before = os.path.getmtime(tiny) - 2
    os.utime(csv, (seconds_before, seconds_before))
    with pytest.warns(UserWarning, match=re.escape(f"{csv} is older than {tiny}")):
        assert "fits" not in scantelk.read(tiny)
    csv.unlink()
    assert "fits" not in scantelk.read(tiny)


@pytest.mark.parametrize("summary, expected", [
    ("run.tmp", "run.fits.csv"), ("base", "base.fits.csv"),
    ("runs.v2/base", "runs.v2/base.fits.csv"), ("model.run2.tmp", "model.run2.fits.csv")])
def test_the_csv_is_named_from_the_summary_by_its_file_names_extension(summary, expected):
    assert fits_path(summary) == expected


def test_pearson_residuals_use_the_input_sample_size_and_are_missing_where_undefined(tmp_path):
    residuals = scantelk.composition_residuals(cases_run(tmp_path))
    assert residuals.columns.tolist() == ["fleet", "year", "age", "observed", "predicted", "n",
                                          "residual"]
    # (0.3 - 0.2) / sqrt(0.2 * 0.8 / 100) and (0.2 - 0.3) / sqrt(0.3 * 0.7 / 100); then a
    # missing observed, a predicted of 0 and of 1, and fleet 2, which has no sample size.
    expected = [2.5, 0.0, -0.1 / math.sqrt(0.0021)] + [math.nan] * 4
    np.testing.assert_allclose(residuals["residual"], expected, rtol=0, atol=1e-12)
    assert residuals["n"].tolist()[:6] == [100.0] * 6 and math.isnan(residuals["n"].iloc[6])
    discards = scantelk.composition_residuals(cases_run(tmp_path), "discard_proportions")
    assert discards["n"].tolist() == [0.0] and math.isnan(discards["residual"].iloc[0])


def test_mean_ages_are_taken_over_the_ages_with_both_values(tmp_path):
    ages = scantelk.mean_age(cases_run(tmp_path))
    # 2000: (0.3 + 2 * 0.5 + 3 * 0.2) / 1 and (0.2 + 2 * 0.5 + 3 * 0.3) / 1; 2001 without its
    # first age: (2 * 0.4 + 3 * 0.4) / 0.8 and (2 * 0 + 3 * 1) / 1.
    assert ages[["fleet", "year"]].values.tolist() == [[1, 2000], [1, 2001], [2, 2000]]
    np.testing.assert_allclose(ages[["observed", "predicted"]], [[1.9, 2.1], [2.5, 3.0], [1, 1]],
                               rtol=0, atol=1e-12)


def test_a_run_without_fits_is_refused_with_how_to_get_them():
    run = scantelk.read(golden("fleets"))
    for draw in (scantelk.composition_residuals, scantelk.mean_age, scantelk.plot_fits):
        with pytest.raises(ValueError, match="no fits: convert it with scantelk --fits"):
            draw(run)


def test_a_run_without_fleets_has_fits_without_rows(tiny):
    run = scantelk.read(tiny)
    run["fits"] = run["fits"].iloc[:0]
    assert scantelk.composition_residuals(run).empty
    assert scantelk.mean_age(run).empty


@pytest.mark.parametrize("edit, message", [
    (lambda t: t.replace("table,", "Table,"), 'line 1: expected the header "table,fleet'),
    (lambda t: t[:-1], "line 13: the file ends inside a line"),
    (lambda t: t.replace("\n", "\r\n"), "line 1: the byte 0x0D is not printable ASCII"),
    (lambda t: t.replace("2001,,1250.5", "2001,,1250.5,"), "line 3: expected 6 fields, found 7"),
    (lambda t: t.replace("discards,1,2001", "discard,1,2001"), 'line 5: "discard" is not one'),
    (lambda t: t.replace("catch,1,2001", "catch,0x1,2001"), 'line 3: the fleet "0x1" is not'),
    (lambda t: t.replace("catch,1,2001,", "catch,1,2001,2"), 'line 3: a total of catch has no age'),
    (lambda t: t.replace("1,2000,2,0.4", "1,2000,,0.4"), 'line 7: the age "" is not a whole'),
    (lambda t: t.replace("1260.1", "1_260.1"), 'line 3: the predicted value "1_260.1" is not'),
    (lambda t: t.replace("2001,1,0.55", "1999,1,0.55"), "line 8: expected the lines in order"),
])
def test_a_malformed_csv_is_refused_with_its_name_and_line(tmp_path, edit, message):
    csv = tmp_path / "bad.fits.csv"
    csv.write_bytes(edit(golden("tiny").with_suffix(".fits.csv").read_text()).encode())
    with pytest.raises(ValueError, match=re.escape(f"{csv} {message}")):
        scantelk.read_fits(csv)


def test_plot_fits_draws_filled_bubbles_above_and_open_ones_below_and_discards_only_if_any(
        tmp_path, tiny):
    figure = scantelk.plot_fits(tiny)
    assert len([axes for axes in figure.axes if axes.get_title()]) == 3
    filled, open_ = figure.axes[1].collections
    assert len(filled.get_offsets()) == 2 and len(open_.get_offsets()) == 2
    assert open_.get_facecolors().size == 0
    # Areas proportional to |residual|: 0.405 and 0.201, the largest at the largest area.
    np.testing.assert_allclose(sorted(filled.get_sizes()), [120 * 0.201456 / 0.405220, 120],
                               rtol=1e-5)
    csv = tiny.with_name("tiny.fits.csv")
    csv.write_text(csv.read_text().replace("discards,1,2001,,0,0", "discards,1,2001,,3,2"))
    assert len(scantelk.plot_fits(tiny).axes) == 6


# Prints R's residuals and mean ages of a summary's fits, each number in hexadecimal.
R_FITS = """
run <- scantelk::read_scantelk(commandArgs(TRUE)[1])
for (table in c("catch_proportions", "discard_proportions")) {
  numbers <- c(scantelk::composition_residuals(run, table)$residual,
               unlist(scantelk::mean_age(run, table)[c("observed", "predicted")]))
  cat(ifelse(is.na(numbers), "NA", sprintf("%a", numbers)), sep = "\\n")
}
"""


@pytest.mark.skipif(not os.environ.get("SCANTELK_R_LIBRARY") or not shutil.which("Rscript"),
                    reason="needs Rscript and SCANTELK_R_LIBRARY, the R package's library")
def test_r_and_python_residuals_and_mean_ages_agree(haddock):
    summary = haddock
    library = {"R_LIBS": os.environ["SCANTELK_R_LIBRARY"]}
    result = subprocess.run(["Rscript", "-e", R_FITS, summary], check=True, capture_output=True,
                            text=True, env={**os.environ, **library})
    from_r = [math.nan if text == "NA" else float.fromhex(text) for text in result.stdout.split()]
    run = scantelk.read(summary)
    ours = np.concatenate([np.concatenate([scantelk.composition_residuals(run, table)["residual"],
                                           scantelk.mean_age(run, table)[["observed", "predicted"]]
                                           .to_numpy().ravel(order="F")])
                           for table in ("catch_proportions", "discard_proportions")])
    np.testing.assert_allclose(from_r, ours, rtol=1e-12, atol=0)
