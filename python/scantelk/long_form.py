"""The long form of a run: one row per value, for plotting and for comparing runs.

A long form is built from plain arrays, one set per run, and becomes a DataFrame once, at the
end: ``block``, ``kind`` and ``run`` are categoricals whose codes are laid down per block, never
as one Python string per value, so that hundreds of runs stack in little memory and time.
"""
from __future__ import annotations

from typing import Any, Mapping, NamedTuple, Sequence, Union

import numpy as np
import pandas as pd

from scantelk.reader import PathLike, Run, read

# The per-year tables of a run, in the order of the file; the categories of `block`.
BLOCKS = ("natural_mortality", "maturity", "catch_weight_at_age", "ssb_weight_at_age",
          "jan1_weight_at_age", "catch_weight", "discard_weight", "catch_ess", "discard_ess",
          "index_fit", "index_ess", "average_f", "stock_numbers", "ssb", "recruitment")
# The categories of `kind`, in the order in which the file first has them.
KINDS = ("input", "effective", "observed", "predicted", "std_residual")
_BLOCK_TYPE = pd.CategoricalDtype(BLOCKS)
_KIND_TYPE = pd.CategoricalDtype(KINDS)
_NO_KIND = -1


class LongArrays(NamedTuple):
    """The columns of one run's long form: block and kind as codes into BLOCKS and KINDS."""

    block: np.ndarray
    row: np.ndarray
    kind: np.ndarray
    year: np.ndarray
    value: np.ndarray


def long_arrays(run: dict[str, Any]) -> LongArrays:
    """The long form of a run as arrays, blocks in the file's order, then rows, kinds, years."""
    tables = [(code, run[block]) for code, block in enumerate(BLOCKS) if block in run]
    key = tuple(_layout_key(code, table) for code, table in tables)
    layout = _LAYOUTS.get(key)
    if layout is None:
        if len(_LAYOUTS) >= 256:
            _LAYOUTS.clear()
        layout = _LAYOUTS[key] = _stack([_block_layout(code, table) for code, table in tables])
        for column in layout:
            column.flags.writeable = False
    values = [table.to_numpy(dtype=float).ravel() for _, table in tables]
    return layout._replace(value=np.concatenate(values) if values else layout.value)


# Runs of one shape share their layout, the long form's columns but the values: it is made once
# per shape, and the runs' arrays are views of it.
_LAYOUTS: dict[tuple, LongArrays] = {}


def _layout_key(code: int, table: Union[pd.DataFrame, pd.Series]) -> tuple:
    """What fixes a table's labels in a summary that read() gave: its shape, its first year and,
    for the indices, which of them are used (read() makes them the first level's labels)."""
    years = table.index if isinstance(table, pd.Series) else table.columns
    first_year = years[0] if len(years) else None
    indices = tuple(table.index.levels[0]) if table.index.names[0] == "index" else None
    return code, table.shape, first_year, indices


def _block_layout(code: int, table: Union[pd.DataFrame, pd.Series]) -> LongArrays:
    """One block's columns. Its rows are the table's first label (age, fleet, index or column);
    a table of one row, SSB's or recruitment's, has row 1."""
    frame = table.to_frame().T if isinstance(table, pd.Series) else table
    n_lines, n_years = frame.shape
    index = frame.index
    names = list(index.names)
    kinds = (index.get_level_values("kind").map(KINDS.index).to_numpy(dtype=np.int8)
             if "kind" in names else np.full(n_lines, _NO_KIND, dtype=np.int8))
    rows = (index.get_level_values(0).to_numpy(dtype=np.int64)
            if names[0] not in ("kind", None) else np.ones(n_lines, dtype=np.int64))
    return LongArrays(
        block=np.full(frame.size, code, dtype=np.int8),
        row=np.repeat(rows, n_years),
        kind=np.repeat(kinds, n_years),
        year=np.tile(frame.columns.to_numpy(dtype=np.int64), n_lines),
        value=np.empty(frame.size),
    )


def _stack(runs: Sequence[LongArrays]) -> LongArrays:
    empty = LongArrays(np.empty(0, np.int8), np.empty(0, np.int64), np.empty(0, np.int8),
                       np.empty(0, np.int64), np.empty(0, float))
    return LongArrays(*(np.concatenate([part, *column]) for part, column in
                        zip(empty, zip(*runs) if runs else [()] * 5)))


def long_frame(runs: Sequence[LongArrays], names: Sequence[str] | None = None) -> pd.DataFrame:
    """The DataFrame of the long forms of runs, stacked in order; with ``names``, a first
    column ``run`` (a categorical of the names, in their order) tells them apart."""
    stacked = _stack(runs)
    columns: dict[str, Any] = {}
    if names is not None:
        codes = np.repeat(np.arange(len(names), dtype=np.int32), [len(r.value) for r in runs])
        columns["run"] = pd.Categorical.from_codes(codes, dtype=pd.CategoricalDtype(names))
    columns["block"] = pd.Categorical.from_codes(stacked.block, dtype=_BLOCK_TYPE)
    columns["row"] = stacked.row
    columns["kind"] = pd.Categorical.from_codes(stacked.kind, dtype=_KIND_TYPE)
    columns["year"] = stacked.year
    columns["value"] = stacked.value
    return pd.DataFrame(columns, copy=False)


def to_long(run: dict[str, Any]) -> pd.DataFrame:
    """Columns block, row, kind, year and value: one row per per-year value of the run.

    ``block`` is the table's name and ``kind`` the kind of value ("input", "observed", ...,
    NaN for tables without kinds), both categoricals with the same categories for every run;
    ``row`` is the integer age, fleet, index or average-F column, 1 for SSB and recruitment.
    Every per-year value of the file is in it once, ordered by block as the file orders them,
    then by row, kind and year.
    """
    return long_frame([long_arrays(run)])


Runs = Mapping[str, Union[dict[str, Any], PathLike]]


def read_runs(runs: Runs) -> dict[str, dict[str, Any]]:
    """The runs of a dict of names to runs or summary paths, each path read, in the order given."""
    if not isinstance(runs, Mapping) or isinstance(runs, Run):
        raise ValueError('every run needs a name: runs = {"base": ..., "alternative": ...}')
    return {name: run if isinstance(run, dict) else read(run) for name, run in runs.items()}


def compare(runs: Runs) -> pd.DataFrame:
    """The long forms of several runs, given as read runs or as paths, with a first column
    ``run``, a categorical of the names in the order given."""
    named = read_runs(runs)
    return long_frame([long_arrays(run) for run in named.values()], list(named))
