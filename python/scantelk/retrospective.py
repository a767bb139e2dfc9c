"""Retrospective analysis: how far each peel's estimates in its own last year lie from the base's.

A retrospective set is a base run and its peels, the same assessment rerun with the last 1, 2,
... years of data removed. Mohn's rho summarises the pattern per quantity.
"""
from __future__ import annotations

import math
from typing import Any, Union

import numpy as np
import pandas as pd

from scantelk.long_form import Runs, read_runs

QUANTITIES = ("ssb", "f", "recruitment")
COLUMNS = ["run", "year", "quantity", "value", "base", "relative"]


def retro(runs: Runs, f_column: int = 1) -> pd.DataFrame:
    """The relative difference of each peel from the base run, in the peel's own last year.

    ``runs`` is a dict of names to runs as :func:`scantelk.read` returns them, or to summary
    paths, in any order. The base is the run whose last model year is the latest; every other
    run is a peel, known by its own last model year. For each peel and each quantity, with Y
    the peel's last year::

        relative = value / base - 1

    where ``value`` is the peel's estimate in Y and ``base`` the base run's estimate in Y. The
    quantities are ``ssb`` (spawning stock biomass), ``f`` (the average F column ``f_column``:
    1, 2 or 3) and ``recruitment``: the stock numbers at the first age in Y. These are the
    recruits of year Y themselves; the report's recruitment lines are shifted by one year (the
    line of year Y holds the recruits of Y + 1), so they are not used. ``relative`` is NaN where
    ``base`` is 0, or for recruitment when a run has no ages.

    Returns one row per peel and quantity, latest peel first, quantities in the order ssb, f,
    recruitment; columns ``run``, ``year``, ``quantity``, ``value``, ``base``, ``relative``.
    Raises ValueError for fewer than two runs, two runs ending in the same year, a run without
    years, a peel that ends before the base begins, or an ``f_column`` other than 1, 2 or 3.

    >>> from pathlib import Path
    >>> import scantelk
    >>> folder = Path(scantelk.__file__).parent / "data" / "retro"
    >>> runs = {name: folder / f"{name}.tmp" for name in ("base", "peel1", "peel2")}
    >>> scantelk.retro(runs).round(4)
         run  year     quantity     value    base  relative
    0  peel1  2008          ssb   2750.00  2500.0      0.10
    1  peel1  2008            f      0.30     0.4     -0.25
    2  peel1  2008  recruitment  10000.00  8000.0      0.25
    3  peel2  2007          ssb   1400.00  2000.0     -0.30
    4  peel2  2007            f      0.75     0.5      0.50
    5  peel2  2007  recruitment   4000.00  5000.0     -0.20
    """
    return analyse(read_runs(runs), f_column)[0]


def mohns_rho(x: Union[pd.DataFrame, Runs], f_column: int = 1) -> pd.Series:
    """Mohn's rho of ssb, f and recruitment: the mean over the peels of ``relative``.

    With P peels, and Y_p the last year of peel p::

        rho = (1 / P) * sum over p of (value_p(Y_p) / base(Y_p) - 1)

    each peel compared with the base in its own last year only. ``x`` is the result of
    :func:`retro` (``f_column`` then stays 1: the result already holds its F column) or the runs
    themselves, as for :func:`retro`. A quantity whose ``relative`` is NaN for any peel has a
    rho of NaN, not a mean over the other peels. Returns a Series indexed ssb, f, recruitment.

    >>> from pathlib import Path
    >>> import scantelk
    >>> folder = Path(scantelk.__file__).parent / "data" / "retro"
    >>> runs = {name: folder / f"{name}.tmp" for name in ("base", "peel1", "peel2")}
    >>> scantelk.mohns_rho(runs).round(6)
    quantity
    ssb           -0.100
    f              0.125
    recruitment    0.025
    Name: mohns_rho, dtype: float64
    """
    if isinstance(x, pd.DataFrame):
        if f_column != 1:
            raise ValueError("f_column applies to runs: a result of retro() holds its F column")
        if not {"quantity", "relative"} <= set(x.columns):
            raise ValueError("expected the result of retro(), with columns quantity and relative")
        table = x
    else:
        table = retro(x, f_column)
    return rho_of(table)


def rho_of(table: pd.DataFrame) -> pd.Series:
    # fsum adds exactly, so the mean is as close to the true mean as R's long-double sum gets.
    means = []
    for quantity in QUANTITIES:
        relative = table.loc[table["quantity"] == quantity, "relative"].to_numpy(dtype=float)
        exact = not np.isnan(relative).any() and len(relative) > 0
        means.append(math.fsum(relative) / len(relative) if exact else math.nan)
    return pd.Series(means, index=pd.Index(QUANTITIES, name="quantity"), name="mohns_rho")


def check_f_column(f_column: Any) -> None:
    # True == 1 in Python; R refuses TRUE, and so does this.
    if isinstance(f_column, bool) or f_column not in (1, 2, 3):
        raise ValueError(f"f_column must be 1, 2 or 3, not {f_column!r}")


def analyse(named: dict[str, dict[str, Any]], f_column: int) -> tuple[pd.DataFrame, str]:
    """The table of :func:`retro` and the name of the base run, from runs already read."""
    check_f_column(f_column)
    if len(named) < 2:
        raise ValueError(f"a retrospective analysis needs a base run and at least one peel; "
                         f"found {len(named)} run(s)")
    last: dict[str, int] = {}
    for name, run in named.items():
        if not run["years"]:
            raise ValueError(f'run "{name}" has no years')
        year = run["years"][-1]
        same = [other for other, other_year in last.items() if other_year == year]
        if same:
            raise ValueError(f'runs "{same[0]}" and "{name}" both end in {year}: '
                             f"each peel must end in a year of its own")
        last[name] = year
    base_name = max(last, key=last.__getitem__)
    base = named[base_name]
    peels = sorted((name for name in named if name != base_name), key=last.__getitem__,
                   reverse=True)
    rows = []
    for name in peels:
        year = last[name]
        if year < base["years"][0]:
            raise ValueError(f'peel "{name}" ends in {year}, before the base run '
                             f'"{base_name}" begins in {base["years"][0]}')
        for quantity in QUANTITIES:
            value = estimate(named[name], quantity, f_column)[year]
            base_value = estimate(base, quantity, f_column)[year]
            relative = value / base_value - 1 if base_value != 0 else math.nan
            rows.append((name, year, quantity, value, base_value, relative))
    table = pd.DataFrame(rows, columns=COLUMNS).astype({"year": "int64"})
    return table, base_name


def estimate(run: dict[str, Any], quantity: str, f_column: int) -> pd.Series:
    """A run's estimates of one quantity by year; recruitment is NaN for a run without ages."""
    if quantity == "ssb":
        return run["ssb"]
    if quantity == "f":
        return run["average_f"].loc[f_column]
    numbers = run["stock_numbers"]
    if numbers.empty:
        return pd.Series(math.nan, index=pd.Index(run["years"], name="year"))
    return numbers.iloc[0]
