"""The fits of a run: observed against predicted catch, discards and proportions at age.

``scantelk --fits run.dat`` writes them beside the summary as ``run.fits.csv``, a CSV of the
columns table, fleet, year, age, observed and predicted, where an empty field is a value the
model's report lacked. :func:`scantelk.read` attaches them to the run as ``run["fits"]``.
"""
from __future__ import annotations

import os
import re
import warnings
from typing import Any

import numpy as np
import pandas as pd

from scantelk.reader import PathLike

HEADER = "table,fleet,year,age,observed,predicted"
TOTALS = ("catch", "discards")
PROPORTIONS = ("catch_proportions", "discard_proportions")
TABLES = TOTALS + PROPORTIONS
# The sample-size table of the summary that goes with each table of proportions.
SAMPLE_SIZES = {"catch_proportions": "catch_ess", "discard_proportions": "discard_ess"}
# The program finishes the CSV while it reads the report, before it writes the summary, so a
# CSV of the same run can be a little older than its summary; one this much older is not.
SLACK_SECONDS = 10.0

_WHOLE = re.compile(r"[0-9]{1,9}")
_YEAR = re.compile(r"-?[0-9]{1,9}")
_NUMBER = re.compile(r"(?:-?[0-9]+(?:\.[0-9]+)?(?:e[+-][0-9]+)?|NaN|Inf|-Inf)?")
# A whole line as the program writes it, to find the first one that is not: a total has no age.
_FLEET_YEAR = r"[0-9]{1,9},-?[0-9]{1,9}"
_LINE = re.compile(rf"(?:(?:catch|discards),{_FLEET_YEAR},|"
                   rf"(?:catch_proportions|discard_proportions),{_FLEET_YEAR},[0-9]{{1,9}})"
                   rf",{_NUMBER.pattern},{_NUMBER.pattern}\n")


def fits_path(summary: PathLike) -> str:
    """The name of the fits CSV beside a summary: its file name's extension replaced by
    ``.fits.csv`` (``run.tmp`` gives ``run.fits.csv``, ``base`` gives ``base.fits.csv``)."""
    text = os.fspath(summary)
    separators = "/\\" if os.name == "nt" else "/"
    name_start = max(text.rfind(separator) for separator in separators) + 1
    dot = text.rfind(".")
    return (text[:dot] if dot >= name_start else text) + ".fits.csv"


def read_fits(path: PathLike) -> pd.DataFrame:
    """Reads a fits CSV that ``scantelk --fits`` wrote.

    Columns: ``table`` (catch, discards, catch_proportions or discard_proportions), ``fleet``,
    ``year``, ``age`` (integers; age missing for the totals catch and discards), ``observed``
    and ``predicted`` (floats; NaN where the report lacked the value). Raises ValueError
    naming the file and line when the file is not such a CSV.

    >>> import scantelk, tempfile, pathlib
    >>> csv = pathlib.Path(tempfile.mkdtemp()) / "run.fits.csv"
    >>> _ = csv.write_text("table,fleet,year,age,observed,predicted\\n"
    ...                    "catch,1,2000,,1500,1498.2\\ncatch_proportions,1,2000,1,0.25,\\n")
    >>> scantelk.read_fits(csv)
                   table  fleet  year   age  observed  predicted
    0              catch      1  2000  <NA>   1500.00     1498.2
    1  catch_proportions      1  2000     1      0.25        NaN
    """
    path = os.fspath(path)
    with open(path, "rb") as file:
        data = file.read()
    text = _checked_text(path, data)
    body = text[len(HEADER) + 1:]
    if "".join(m.group(0) for m in _LINE.finditer(body)) != body:
        _refuse_first_bad_line(path, body)
    rows = [line.split(",") for line in body.split("\n")[:-1]]
    columns = list(zip(*rows)) if rows else [()] * 6
    fits = pd.DataFrame({
        "table": pd.Series(columns[0], dtype=object),
        "fleet": np.asarray(columns[1], dtype=str).astype(np.int64),
        "year": np.asarray(columns[2], dtype=str).astype(np.int64),
        "age": pd.array([int(age) if age else None for age in columns[3]], dtype="Int64"),
        "observed": _numbers(columns[4]),
        "predicted": _numbers(columns[5]),
    })
    _check_order(path, fits)
    return fits


def _checked_text(path: str, data: bytes) -> str:
    """The file as text, once its bytes, header and last line end are checked."""
    odd = re.search(rb"[^\x20-\x7e\n]", data)
    if odd:
        raise _error(path, data.count(b"\n", 0, odd.start()) + 1,
                     f"the byte 0x{data[odd.start()]:02X} is not printable ASCII")
    text = data.decode("ascii")
    if not text.startswith(HEADER + "\n"):
        raise _error(path, 1, f'expected the header "{HEADER}"')
    if not text.endswith("\n"):
        raise _error(path, text.count("\n") + 1, "the file ends inside a line")
    return text


def _refuse_first_bad_line(path: str, body: str) -> None:
    for number, line in enumerate(body.split("\n"), 2):
        fields = line.split(",")
        if len(fields) != 6:
            raise _error(path, number, f"expected 6 fields, found {len(fields)}")
        message = _field_fault(*fields)
        if message:
            raise _error(path, number, message)


def _field_fault(table: str, fleet: str, year: str, age: str, observed: str,
                 predicted: str) -> str:
    """What is wrong with a line's fields, or "" when nothing is."""
    if table not in TABLES:
        return f'"{table}" is not one of the tables {", ".join(TABLES)}'
    if not _WHOLE.fullmatch(fleet):
        return f'the fleet "{fleet}" is not a whole number'
    if not _YEAR.fullmatch(year):
        return f'the year "{year}" is not a whole number'
    if table in TOTALS and age:
        return f'a total of {table} has no age, found "{age}"'
    if table in PROPORTIONS and not _WHOLE.fullmatch(age):
        return f'the age "{age}" is not a whole number'
    for name, value in (("observed", observed), ("predicted", predicted)):
        if not _NUMBER.fullmatch(value):
            return f'the {name} value "{value}" is not a number'
    return ""


def _numbers(texts: tuple) -> np.ndarray:
    """Numbers in the program's form; an empty field is a missing value, NaN."""
    return np.array([float(text) if text else np.nan for text in texts], dtype=float)


def _check_order(path: str, fits: pd.DataFrame) -> None:
    """The lines must stand in the program's order, each once: by table, fleet, year, age."""
    codes = {table: code for code, table in enumerate(TABLES)}
    keys = np.column_stack([[codes[table] for table in fits["table"]], fits["fleet"],
                            fits["year"], fits["age"].fillna(0)]).astype(np.int64)
    # The sign of the first key that changes: each weighs more than all later ones together.
    later = np.sign(np.diff(keys, axis=0)) @ np.array([8, 4, 2, 1])
    wrong = np.flatnonzero(later <= 0)
    if wrong.size:
        raise _error(path, int(wrong[0]) + 3,
                     "expected the lines in order of table, fleet, year and age, each once")


def _error(path: str, line: int, message: str) -> ValueError:
    return ValueError(f"{path} line {line}: {message}")


def fits_beside(summary: PathLike) -> pd.DataFrame | None:
    """The fits CSV beside a summary, read, when there is one and it is not older than the
    summary; an older one, left by an earlier run, is left out with a warning."""
    path = fits_path(summary)
    if not os.path.exists(path):
        return None
    if os.path.getmtime(path) < os.path.getmtime(summary) - SLACK_SECONDS:
        warnings.warn(f"{path} is older than {os.fspath(summary)}: its fits, of an earlier run, "
                      "are left out", stacklevel=3)
        return None
    return read_fits(path)


def _fits_of(run: dict[str, Any], table: str) -> pd.DataFrame:
    if "fits" not in run:
        raise ValueError("the run has no fits: convert it with scantelk --fits, which writes "
                         "them beside the summary")
    if table not in PROPORTIONS:
        raise ValueError(f'table must be "{PROPORTIONS[0]}" or "{PROPORTIONS[1]}", not "{table}"')
    fits = run["fits"]
    return fits[fits["table"] == table]


def composition_residuals(run: dict[str, Any], table: str = "catch_proportions") -> pd.DataFrame:
    """Pearson residuals of the proportions at age: one row per fleet, year and age.

    Columns fleet, year, age, observed, predicted, n (the fleet and year's input sample size
    from the summary's catch or discard sample-size table) and residual,
    (observed - predicted) / sqrt(predicted (1 - predicted) / n): NaN where a term is
    missing, n <= 0, or predicted is not strictly between 0 and 1. ``table`` is
    ``"catch_proportions"`` or ``"discard_proportions"``. Raises ValueError for a run
    without fits.

    >>> from pathlib import Path
    >>> import scantelk
    >>> run = scantelk.read(Path(scantelk.__file__).parent / "data" / "tiny.tmp")
    >>> scantelk.composition_residuals(run)["residual"].round(4).tolist()
    [0.4052, -0.4052, -0.2015, 0.2015]
    """
    rows = _fits_of(run, table)
    sizes = run[SAMPLE_SIZES[table]].xs("input", level="kind")
    n = sizes.stack().reindex(pd.MultiIndex.from_arrays([rows["fleet"], rows["year"]]))
    observed = rows["observed"].to_numpy(dtype=float)
    predicted = rows["predicted"].to_numpy(dtype=float)
    n = n.to_numpy(dtype=float)
    usable = (n > 0) & (predicted > 0) & (predicted < 1) & ~np.isnan(observed)
    residual = np.full(len(rows), np.nan)
    p = predicted[usable]
    residual[usable] = (observed[usable] - p) / np.sqrt(p * (1 - p) / n[usable])
    return pd.DataFrame({"fleet": rows["fleet"].to_numpy(), "year": rows["year"].to_numpy(),
                         "age": rows["age"].to_numpy(dtype=np.int64), "observed": observed,
                         "predicted": predicted, "n": n, "residual": residual})


def mean_age(run: dict[str, Any], table: str = "catch_proportions") -> pd.DataFrame:
    """The observed and the predicted mean age, sum(age p) / sum(p), per fleet and year.

    Columns fleet, year, observed and predicted; the sums run over the ages with both values
    present, and a year without any (or with proportions summing to 0) has NaN. Raises
    ValueError for a run without fits.

    >>> from pathlib import Path
    >>> import scantelk
    >>> run = scantelk.read(Path(scantelk.__file__).parent / "data" / "tiny.tmp")
    >>> scantelk.mean_age(run)
       fleet  year  observed  predicted
    0      1  2000      1.40       1.42
    1      1  2001      1.45       1.44
    """
    rows = _fits_of(run, table)
    present = rows["observed"].notna() & rows["predicted"].notna()
    age = rows["age"].to_numpy(dtype=float)
    sums = pd.DataFrame({
        "fleet": rows["fleet"], "year": rows["year"],
        "observed_weighted": np.where(present, age * rows["observed"], 0.0),
        "observed": np.where(present, rows["observed"], 0.0),
        "predicted_weighted": np.where(present, age * rows["predicted"], 0.0),
        "predicted": np.where(present, rows["predicted"], 0.0),
    }).groupby(["fleet", "year"], sort=False).sum()
    with np.errstate(invalid="ignore", divide="ignore"):
        result = pd.DataFrame({
            "observed": sums["observed_weighted"] / sums["observed"],
            "predicted": sums["predicted_weighted"] / sums["predicted"],
        })
    return result.reset_index()
