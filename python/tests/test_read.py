import math
import re

import pandas as pd
import pytest

import scantelk
from conftest import REPO, golden


# (1) Golden summaries read back against the .dat and .rep they come from.

def test_every_value_of_tiny_is_the_one_its_dat_and_rep_give():
    run = scantelk.read(golden("tiny"))
    assert run["dims"] == {"n_years": 2, "first_year": 2000, "n_ages": 2, "n_fleets": 1,
                           "n_indices": 1}
    assert run["index_spec"].iloc[0].tolist() == [1, 2, 1, 2, 1, 1, 2, 1, True]
    assert scantelk.to_long(run)["value"].tolist() == [
        0.2, 0.2, 0.2, 0.2, 0.5, 0.5, 1, 1, 0.25, 0.25, 0.75, 0.75, 0.2, 0.2, 0.7, 0.7, 0.22, 0.22,
        0.73, 0.73, 1500, 1250.5, 0, 0, 100, 100, 87.4, 112.9, 0, 0, 0, 0, 3.5, 4.25, 3.62, 4.01,
        -0.15, 0.28, 50, 50, 41.3, 65, 0.31, 0.28, 0.29, 0.27, 0.3, 0.26, 12000, 13500, 8000, 8400,
        9500.25, 9810, 13500, 11000, 13210.7, 11820.3]


def test_haddock_values_stand_at_their_age_and_year_and_recruits_at_their_own_year():
    run = scantelk.read(golden("haddock"))
    dat = (REPO / "examples" / "haddock.dat").read_text().splitlines()
    first = next(n for n, line in enumerate(dat) if line.startswith("# Natural Mortality"))
    by_year = pd.DataFrame([[float(v) for v in line.split()] for line in dat[first + 1:first + 41]])
    assert (run["natural_mortality"].to_numpy() == by_year.to_numpy().T).all()
    assert run["stock_numbers"].loc[10, 2021] == run["stock_numbers"].iloc[9, 39]
    # The report's last 40 lines: year, SSB, observed and predicted recruits of the next year.
    rep = (REPO / "examples" / "haddock.rep").read_text().splitlines()[-40:]
    last = [[float(v) for v in line.split()] for line in rep]
    assert run["ssb"].tolist() == [row[1] for row in last]
    assert run["recruitment"].loc["predicted"].to_dict() == {int(r[0]) + 1: r[3] for r in last}
    # The generator's recruits are the following year's stock numbers at the first age.
    assert run["recruitment"].loc["predicted", 1983:2021].equals(
        run["stock_numbers"].loc[1, 1983:2021].rename("predicted"))


def test_fleets_index_rows_land_at_their_years_and_flag_minus_one_is_used():
    run = scantelk.read(golden("fleets"))
    assert run["index_spec"]["used"].tolist() == [True, False, True]
    assert run["index_fit"].loc[(3, "observed")].to_dict() == {1995: 230, 1996: 250, 1997: 0}
    assert run["index_ess"].loc[3, 1996].to_dict() == {"input": 20, "effective": 19.2}


# (2) Runs made by scantelk from scripts/make_run.py.

def test_a_run_without_indices_has_empty_index_tables(make_run):
    run = make_run("--indices", "0")
    assert run["index_spec"].empty
    assert run["index_fit"].shape == (0, 4)


def test_a_use_flag_of_minus_one_before_a_used_index_reads_like_one(make_run):
    plain = make_run("--indices", "3", "--unused", "1")
    flagged = make_run("--indices", "3", "--unused", "1",
                       edit=lambda dat: re.sub(r"(?m)^1 0 1 ", "-1 0 1 ", dat))
    assert flagged["index_spec"]["use"].tolist() == [-1, 0, 1]
    assert flagged["index_fit"].index.unique("index").tolist() == [1, 3]
    assert flagged["index_fit"].equals(plain["index_fit"])


def test_a_title_equal_to_a_block_heading_is_read_as_the_title_only(make_run):
    run = make_run("--title", "Natural Mortality")
    assert run["title"] == "Natural Mortality"
    assert run["natural_mortality"][1980].tolist() == [0.2, 0.2, 0.2]


def test_overflowing_values_give_inf_and_a_hand_written_nan_gives_nan(make_run, tmp_path):
    overflow = r"(# Natural Mortality.*\n)\S+(.*\n)\S+"
    run = make_run(edit=lambda dat: re.sub(overflow, r"\g<1>1e999\g<2>-1e999", dat, count=1))
    assert run["natural_mortality"].loc[1, [1980, 1981]].tolist() == [math.inf, -math.inf]
    edited = tmp_path / "nan.tmp"
    edited.write_bytes(golden("tiny").read_bytes().replace(b"2.000000E-001", b"NaN", 1))
    assert math.isnan(scantelk.read(edited)["natural_mortality"].loc[1, 2000])


# (3) A damaged summary names the file and the line.

@pytest.mark.parametrize("number, text, message", [
    (2, "2  2000  2  1", "line 2: expected five integers"),
    (6, "Maturty", 'line 6: expected the heading "Maturity"'),
    (7, "5.000000E-001", "line 7: expected 2 values, found 1"),
    (8, "x 1", 'line 8: "x" is not a number'),
    (34, None, 'line 34: the file ends inside the block "Index Specification"'),
    (56, "extra", "line 56: expected the end of the file"),
])
def test_a_damaged_summary_raises_with_its_file_and_line(tmp_path, number, text, message):
    lines = golden("tiny").read_text().splitlines()
    if text is None:
        lines = lines[:number - 1]
    else:
        lines = lines[:number - 1] + [text] + lines[number:]
    path = tmp_path / "damaged.tmp"
    path.write_text("\n".join(lines) + "\n")
    with pytest.raises(ValueError, match=re.escape(f"{path} {message}")):
        scantelk.read(path)
