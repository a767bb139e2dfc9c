"""The long form of a run: one row per value, for plotting and for comparing runs."""
from __future__ import annotations

from typing import Any, Mapping, Union

import numpy as np
import pandas as pd

from scantelk.reader import PathLike, Run, read

_NOT_PER_YEAR = {"title", "years", "dims", "index_spec", "fits"}


def to_long(run: dict[str, Any]) -> pd.DataFrame:
    """Columns block, row, kind (text, None where a table has none), year and value.

    Every per-year value of the file is in it once, ordered by block as the file orders them,
    then by row, kind and year.
    """
    blocks = [_long_block(key, table) for key, table in run.items() if key not in _NOT_PER_YEAR]
    return pd.concat(blocks, ignore_index=True)


def _long_block(block: str, table: Union[pd.DataFrame, pd.Series]) -> pd.DataFrame:
    frame = table.to_frame().T if isinstance(table, pd.Series) else table
    n_years = frame.shape[1]
    keys = frame.index.to_frame(index=False)
    first = frame.index.names[0]
    rows = keys[first].astype(str) if first not in ("kind", None) else None
    kinds = keys["kind"] if "kind" in keys else None

    def each_year(labels: pd.Series | None) -> list:
        return [None] * frame.size if labels is None else np.repeat(labels, n_years).tolist()

    # Text columns stay text (object) when a run without years leaves them empty, as in R.
    return pd.DataFrame({
        "block": pd.Series([block] * frame.size, dtype=object),
        "row": pd.Series(each_year(rows), dtype=object),
        "kind": pd.Series(each_year(kinds), dtype=object),
        "year": np.tile(np.asarray(frame.columns, dtype=np.int64), len(frame)),
        "value": frame.to_numpy(dtype=float).ravel(),
    })


Runs = Mapping[str, Union[dict[str, Any], PathLike]]


def read_runs(runs: Runs) -> dict[str, dict[str, Any]]:
    """The runs of a dict of names to runs or summary paths, each path read, in the order given."""
    if not isinstance(runs, Mapping) or isinstance(runs, Run):
        raise ValueError('every run needs a name: runs = {"base": ..., "alternative": ...}')
    return {name: run if isinstance(run, dict) else read(run) for name, run in runs.items()}


def compare(runs: Runs) -> pd.DataFrame:
    """The long forms of several runs, given as read runs or as paths, with a first column run."""
    frames = []
    for name, run in read_runs(runs).items():
        long = to_long(run)
        long.insert(0, "run", name)
        frames.append(long)
    return pd.concat(frames, ignore_index=True)
