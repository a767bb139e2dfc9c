import math
import re

import scantelk
from conftest import REPO, golden


# (1) A golden summary read back against the .dat and .rep it comes from. The long form test
# compares every value of all golden summaries with the R reader's.

def test_haddock_values_stand_at_their_age_and_year_and_recruits_at_their_own_year():
    run = scantelk.read(golden("haddock"))
    dat = (REPO / "examples" / "haddock.dat").read_text().splitlines()
    first = next(n for n, line in enumerate(dat) if line.startswith("# Natural Mortality"))
    assert run["natural_mortality"][1983].tolist() == [float(v) for v in dat[first + 2].split()]
    # The report's last 40 lines: year, SSB, observed and predicted recruits of the next year.
    rep = [line.split() for line in (REPO / "examples" / "haddock.rep").read_text().splitlines()]
    assert run["recruitment"].loc["predicted"].to_dict() == {
        int(year) + 1: float(predicted) for year, _, _, predicted in rep[-40:]}
    # The generator's recruits are the following year's stock numbers at the first age.
    later = slice(1983, 2021)
    assert run["recruitment"].loc["predicted", later].tolist() == \
        run["stock_numbers"].loc[1, later].tolist()


# (2) Runs made by scantelk from scripts/make_run.py.

def test_a_run_without_indices_has_empty_index_tables(make_run):
    run = make_run("--indices", "0")
    assert run["index_spec"].empty and run["index_fit"].shape == (0, 4)


def test_a_use_flag_of_minus_one_before_a_used_index_counts_as_used(make_run):
    run = make_run("--indices", "3", "--unused", "1",
                   edit=lambda dat: re.sub(r"(?m)^1 0 1 ", "-1 0 1 ", dat))
    assert run["index_spec"]["use"].tolist() == [-1, 0, 1]
    assert run["index_fit"].index.unique("index").tolist() == [1, 3]


def test_a_title_equal_to_a_block_heading_is_read_as_the_title_only(make_run):
    run = make_run("--title", "Natural Mortality")
    assert run["title"] == "Natural Mortality"
    assert run["natural_mortality"][1980].tolist() == [0.2, 0.2, 0.2]


def test_overflowing_values_give_inf_and_a_hand_written_nan_gives_nan(make_run, tmp_path):
    overflow = r"(# Natural Mortality.*\n)\S+(.*\n)\S+"
    run = make_run(edit=lambda dat: re.sub(overflow, r"\g<1>1e999\g<2>-1e999", dat, count=1))
    assert run["natural_mortality"].loc[1, [1980, 1981]].tolist() == [math.inf, -math.inf]
    edited = tmp_path / "nan.tmp"
    nan = golden("tiny").read_bytes().replace(b"2.000000E-001   ", b"NaN".ljust(16), 1)
    edited.write_bytes(nan)
    assert math.isnan(scantelk.read(edited)["natural_mortality"].loc[1, 2000])


def test_a_title_holding_a_cr_of_its_own_is_read_with_it(make_run):
    run = make_run(edit=lambda dat: re.sub(r"(?m)^# Simulated stock$", "Run one\r\r", dat))
    assert run["title"] == "Run one\r"
    assert run["ssb"].index.tolist() == [1980, 1981, 1982, 1983]


def test_a_run_prints_in_short_as_in_r_and_is_still_a_dict():
    run = scantelk.read(golden("tiny"))
    assert repr(run).splitlines()[:3] == [
        'scantelk summary "Tiny test run"',
        "years: 2 from 2000; ages: 2; fleets: 1; indices: 1 (1 used)",
        "tables: natural_mortality, maturity, catch_weight_at_age,"]
    assert isinstance(run, dict)
