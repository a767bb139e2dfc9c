"""Ensembles: the spread of SSB, recruitment and F over many runs of one stock, year by year."""
from __future__ import annotations

import os
from typing import Mapping, Sequence, Union

import numpy as np
import pandas as pd

from scantelk.gather import gather, run_names
from scantelk.long_form import compare, long_arrays, long_frame
from scantelk.reader import PathLike, read
from scantelk.retrospective import check_f_column

PROBS = (0.05, 0.25, 0.5, 0.75, 0.95)
# The quantities of an ensemble, in the order of its tables and plots.
QUANTITIES = ("ssb", "recruitment", "f")
Ensemble = Union[pd.DataFrame, Mapping[str, Union[dict, PathLike]], Sequence[Union[dict, PathLike]],
                 PathLike]


def quantiles(x: Ensemble, probs: Sequence[float] = PROBS, f_column: int = 1) -> pd.DataFrame:
    """Quantiles over the runs of SSB, recruitment and average F, per year.

    ``x`` is a table of :func:`scantelk.gather` or :func:`scantelk.compare`, or the runs
    themselves: a glob pattern of summaries, a list of runs or summary paths, or a dict of
    names to them. The quantities are
    ``ssb``, ``recruitment`` (the stock numbers at the first age) and ``f`` (the average F
    column ``f_column``: 1, 2 or 3).

    Returns one row per quantity, year and probability, with columns ``quantity`` (a
    categorical), ``year``, ``prob``, ``value`` and ``n_runs``, the number of runs with a value
    that year: a missing value (NaN) is left out, never counted as zero, and a year without
    any value has NaN. The quantiles are R's default (type 7), computed as R computes them, so
    that both give the same numbers.
    """
    check_f_column(f_column)
    checked = _checked_probs(probs)
    long = ensemble_table(x)
    frames = []
    for quantity in QUANTITIES:
        years, values = _by_year(long, quantity, f_column)
        table, counts = _type7(values, checked)
        frames.append(pd.DataFrame({
            "quantity": quantity,
            "year": np.repeat(years, len(checked)),
            "prob": np.tile(checked, len(years)),
            "value": table.ravel(),
            "n_runs": np.repeat(counts, len(checked)),
        }))
    result = pd.concat(frames, ignore_index=True)
    result["quantity"] = pd.Categorical(result["quantity"], categories=QUANTITIES)
    return result


def ensemble_table(x: Ensemble) -> pd.DataFrame:
    """The long form of an ensemble given as a table, a dict of runs or a list of runs."""
    if isinstance(x, pd.DataFrame):
        if "run" not in x.columns:
            raise ValueError("expected a table of gather() or compare(), with a column run")
        return x
    if isinstance(x, Mapping):
        return compare(x)
    if isinstance(x, (str, os.PathLike)):
        return gather(os.fspath(x))
    items = list(x)
    paths = [os.fspath(item) if not isinstance(item, dict) else f"{k + 1}"
             for k, item in enumerate(items)]
    names = run_names(paths, None)
    return long_frame([long_arrays(item if isinstance(item, dict) else read(item))
                       for item in items], names)


def quantity_rows(long: pd.DataFrame, quantity: str, f_column: int) -> pd.Series:
    """Which rows of a long form hold the quantity: ssb, recruitment or f."""
    block, row = {"ssb": ("ssb", 1), "recruitment": ("stock_numbers", 1),
                  "f": ("average_f", f_column)}[quantity]
    return (long["block"] == block) & (long["row"] == row)


def _checked_probs(probs: Sequence[float]) -> np.ndarray:
    checked = np.asarray(probs, dtype=float).ravel()
    if checked.size == 0 or not ((checked >= 0) & (checked <= 1)).all():
        raise ValueError(f"probs must lie between 0 and 1, not {list(probs)}")
    return checked


def _by_year(long: pd.DataFrame, quantity: str, f_column: int) -> tuple[np.ndarray, np.ndarray]:
    """The years of a quantity and its values, a matrix of one row per year and one column per
    run; a run without the year has NaN there."""
    chosen = long[quantity_rows(long, quantity, f_column)]
    years, year_at = np.unique(chosen["year"].to_numpy(dtype=np.int64), return_inverse=True)
    runs = chosen["run"]
    run_at = runs.cat.codes.to_numpy() if hasattr(runs, "cat") else pd.factorize(runs)[0]
    n_runs = int(run_at.max()) + 1 if len(run_at) else 0
    values = np.full((len(years), n_runs), np.nan)
    values[year_at, run_at] = chosen["value"].to_numpy(dtype=float)
    return years, values


def _type7(values: np.ndarray, probs: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
    """R's type 7 quantiles of each row's values but NaN, and how many there are.

    As R's quantile(): with h the fraction of the position 1 + (n - 1) p past its floor, the
    quantile is (1 - h) x[lo] + h x[hi], or x[lo] where h is 0 or x[hi] equals x[lo] (so that
    a row of Inf gives Inf). numpy's own interpolation rounds differently in the last bit.
    """
    counts = np.count_nonzero(~np.isnan(values), axis=1)
    if values.shape[1] == 0:
        return np.full((len(values), len(probs)), np.nan), counts
    ordered = np.sort(values, axis=1)  # NaN last
    index = 1 + np.maximum(counts - 1, 0)[:, None] * probs[None, :]
    lo = np.floor(index).astype(np.int64)
    hi = np.ceil(index).astype(np.int64)
    x_lo = np.take_along_axis(ordered, lo - 1, axis=1)
    x_hi = np.take_along_axis(ordered, hi - 1, axis=1)
    h = index - lo
    with np.errstate(invalid="ignore"):
        between = (1 - h) * x_lo + h * x_hi
    result = np.where((index > lo) & (x_hi != x_lo), between, x_lo)
    result[counts == 0] = np.nan
    return result, counts
