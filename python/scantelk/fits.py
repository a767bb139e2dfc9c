"""The fits of a run: observed against predicted catch, discards and proportions at age.

``scantelk --fits run.dat`` writes them beside the summary as ``run.fits.csv``, a CSV of the
columns table, fleet, year, age, observed and predicted, where an empty field is a value the
model's report lacked. :func:`scantelk.read` attaches them to the run as ``run["fits"]``.
"""
from __future__ import annotations

import io
import os
import re
import warnings
from typing import Any, Iterator

import numpy as np
import pandas as pd

from scantelk.reader import PathLike

HEADER = "table,fleet,year,age,observed,predicted"
TOTALS = ("catch", "discards")
PROPORTIONS = ("catch_proportions", "discard_proportions")
TABLES = TOTALS + PROPORTIONS
# The sample-size table of the summary that goes with each table of proportions.
SAMPLE_SIZES = {"catch_proportions": "catch_ess", "discard_proportions": "discard_ess"}

_WHOLE = re.compile(r"[0-9]{1,9}")
_YEAR = re.compile(r"-?[0-9]{1,9}")
_NUMBER_FORMS = r"-?[0-9]+(?:\.[0-9]+)?(?:e[+-][0-9]+)?|NaN|Inf|-Inf"
_NUMBER = re.compile(rf"(?:{_NUMBER_FORMS})?")
# A line end not followed by a whole line as the program writes it (a total has no age) nor by
# the end of the text: the end of the line before the first bad one. (Written as it is, the
# proportions first, the empty value an alternative, the search is faster.)
_FLEET_YEAR = rb"[0-9]{1,9},-?[0-9]{1,9}"
_BYTES_NUMBER = rb"(?:" + _NUMBER_FORMS.encode() + rb"|)"
_BAD_LINE = re.compile(rb"\n(?!(?:(?:catch_proportions|discard_proportions)," + _FLEET_YEAR
                       + rb",[0-9]{1,9}|(?:catch|discards)," + _FLEET_YEAR + rb",),"
                       + _BYTES_NUMBER + rb"," + _BYTES_NUMBER + rb"\n|\Z)")
_PRINTABLE = bytes(range(0x20, 0x7F)) + b"\n"
_CHUNK_BYTES = 1 << 23  # lines checked and converted per step, to bound the memory they take
# The fields as np.loadtxt converts them, once every empty field reads NaN: of the table only
# its first letter, which with the age tells the table apart (lines already checked).
_FIELDS = np.dtype([("initial", "S1"), ("fleet", "i8"), ("year", "i8"), ("age", "f8"),
                    ("observed", "f8"), ("predicted", "f8")])


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
    _check_bytes(path, data)
    columns = _Columns(data.count(b"\n") - 1)
    for start, end in _chunks(data, len(HEADER) + 1):
        bad = _BAD_LINE.search(data, start - 1, end)
        if bad:
            _refuse_line(path, data, bad.start() + 1)
        columns.add(_converted(data[start:end]))
    del data
    _check_order(path, columns)
    return columns.frame()


class _Columns:
    """The columns of the lines converted so far, in the blocks of the frame they will make."""

    def __init__(self, n_lines: int) -> None:
        self.table = np.empty(n_lines, dtype=np.int8)  # the table's place in TABLES
        self.fleet_year = np.empty((2, n_lines), dtype=np.int64)
        self.age = np.empty(n_lines, dtype=np.int64)
        self.no_age = np.empty(n_lines, dtype=bool)
        self.numbers = np.empty((2, n_lines))  # observed and predicted
        self.done = 0

    def add(self, lines: np.ndarray) -> None:
        span = slice(self.done, self.done + len(lines))
        self.no_age[span] = np.isnan(lines["age"])
        self.age[span] = np.where(self.no_age[span], 0, lines["age"])
        self.table[span] = (lines["initial"] == b"d") + 2 * ~self.no_age[span]
        for row, name in enumerate(("fleet", "year")):
            self.fleet_year[row, span] = lines[name]
        for row, name in enumerate(("observed", "predicted")):
            self.numbers[row, span] = lines[name]
        self.done = span.stop

    def frame(self) -> pd.DataFrame:
        """The frame, put together from the blocks without copying them."""
        parts = [pd.DataFrame({"table": np.array(TABLES, dtype=object)[self.table]}),
                 pd.DataFrame(self.fleet_year.T, columns=["fleet", "year"], copy=False),
                 pd.DataFrame({"age": pd.arrays.IntegerArray(self.age, self.no_age)}),
                 pd.DataFrame(self.numbers.T, columns=["observed", "predicted"], copy=False)]
        return pd.concat(parts, axis=1, copy=False)


def _check_bytes(path: str, data: bytes) -> None:
    """Refuses a file of bytes other than printable ASCII and line ends, without the header
    or without a line end at its end."""
    odd = data.translate(None, _PRINTABLE)[:1]  # the first such byte, if any
    if odd:
        raise _error(path, data.count(b"\n", 0, data.index(odd)) + 1,
                     f"the byte 0x{odd[0]:02X} is not printable ASCII")
    if not data.startswith(HEADER.encode() + b"\n"):
        raise _error(path, 1, f'expected the header "{HEADER}"')
    if not data.endswith(b"\n"):
        raise _error(path, data.count(b"\n") + 1, "the file ends inside a line")


def _chunks(data: bytes, start: int) -> Iterator[tuple[int, int]]:
    """Spans of whole lines from `start` to the end, each about _CHUNK_BYTES long."""
    while start < len(data):
        end = data.find(b"\n", min(start + _CHUNK_BYTES, len(data) - 1)) + 1
        yield start, end
        start = end


def _converted(lines: bytes) -> np.ndarray:
    """Lines already checked, converted; an empty field, which np.loadtxt refuses, as NaN.
    np.loadtxt reads a number as float() does, to the nearest double. ",," is replaced twice:
    an empty age and an empty observed value share a comma."""
    lines = lines.replace(b",,", b",NaN,").replace(b",,", b",NaN,").replace(b",\n", b",NaN\n")
    return np.loadtxt(io.BytesIO(lines), dtype=_FIELDS, delimiter=",", comments=None, ndmin=1,
                      encoding=None)


def _refuse_line(path: str, data: bytes, start: int) -> None:
    """Raises the error for the line that starts at `start`, known to be bad."""
    line = data[start:data.index(b"\n", start)].decode("ascii")
    number = data.count(b"\n", 0, start) + 1
    fields = line.split(",")
    if len(fields) != 6:
        raise _error(path, number, f"expected 6 fields, found {len(fields)}")
    raise _error(path, number, _field_fault(*fields))


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


def _check_order(path: str, columns: _Columns) -> None:
    """The lines must stand in the program's order, each once: by table, fleet, year, age."""
    keys = (columns.table, *columns.fleet_year, columns.age)
    # Each line after the first: whether a key rises before any falls.
    rises = np.zeros(max(columns.done - 1, 0), dtype=bool)
    same = np.ones_like(rises)
    for key in keys:
        step = np.diff(key)
        rises |= same & (step > 0)
        same &= step == 0
    wrong = np.flatnonzero(~rises)
    if wrong.size:
        raise _error(path, int(wrong[0]) + 3,
                     "expected the lines in order of table, fleet, year and age, each once")


def _error(path: str, line: int, message: str) -> ValueError:
    return ValueError(f"{path} line {line}: {message}")


# A copy that does not keep file times (cp -R) may write the fits file a moment before its
# summary; a plain run that leaves an older fits file behind comes later than that.
COPY_SLACK_SECONDS = 1.0


def fits_beside(summary: PathLike) -> pd.DataFrame | None:
    """The fits CSV beside a summary, read, when there is one and it is not older than the
    summary; an older one, left by an earlier run, is left out with a warning."""
    path = fits_path(summary)
    if not os.path.exists(path):
        return None
    if os.path.getmtime(path) < os.path.getmtime(summary) - COPY_SLACK_SECONDS:
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
    observed = rows["observed"].to_numpy(dtype=float)
    predicted = rows["predicted"].to_numpy(dtype=float)
    n = _input_sample_sizes(run, table, rows)
    usable = (n > 0) & (predicted > 0) & (predicted < 1) & ~np.isnan(observed)
    residual = np.full(len(rows), np.nan)
    p = predicted[usable]
    residual[usable] = (observed[usable] - p) / np.sqrt(p * (1 - p) / n[usable])
    return pd.DataFrame({"fleet": rows["fleet"].to_numpy(), "year": rows["year"].to_numpy(),
                         "age": rows["age"].to_numpy(dtype=np.int64), "observed": observed,
                         "predicted": predicted, "n": n, "residual": residual})


def _input_sample_sizes(run: dict[str, Any], table: str, rows: pd.DataFrame) -> np.ndarray:
    """The input sample size of each row's fleet and year; a run without fleets has none."""
    if rows.empty:
        return np.empty(0)
    sizes = run[SAMPLE_SIZES[table]].xs("input", level="kind")
    keys = pd.MultiIndex.from_arrays([rows["fleet"], rows["year"]])
    return sizes.stack().reindex(keys).to_numpy(dtype=float)


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
