"""Reads a scantelk summary file into pandas tables labelled by age, fleet, index and year.

The reader accepts exactly what scantelk writes. The dimension line fixes where every line
stands, so each heading and each line end is checked at its place, never searched for (a title
may equal a heading), and the file's size is checked before any table is made. The number
fields are then read by width, a block at a time.
"""
from __future__ import annotations

import io
import os
import re
import textwrap
from typing import NamedTuple, Optional, Union

import numpy as np
import pandas as pd

from scantelk.fields import FIELD_WIDTH, BadField, parse_fields

PathLike = Union[str, "os.PathLike[str]"]

DIMENSIONS = ("n_years", "first_year", "n_ages", "n_fleets", "n_indices")
SAMPLE_SIZES = ["input", "effective"]
INDEX_FIT = "Index Observed, Predicted, Standardized Residual"
INDEX_SPECIFICATION = "Index Specification"
# Five 16-bit integers as the writer writes them, two spaces apart; only the first year may be
# negative.
_COUNT = rb"(0|[1-9][0-9]{0,4})"
_DIMENSION_LINE = re.compile(rb"  ".join([_COUNT, rb"(0|-?[1-9][0-9]{0,4})"] + [_COUNT] * 3))
_INDEX_VALUE = re.compile(rb"-?[0-9]+")
_INT16 = range(-32768, 32768)
_READ_SIZE = 1 << 20  # bytes of whole lines read at a time


class Run(dict):
    """A run as :func:`read` returns it: a dict of its tables by name, printed in short."""

    def __repr__(self) -> str:
        dims = self["dims"]
        tables = ", ".join(key for key in self if key not in ("title", "years", "dims"))
        return "\n".join([
            f'scantelk summary "{self["title"]}"',
            f"years: {dims['n_years']} from {dims['first_year']}; ages: {dims['n_ages']}; "
            f"fleets: {dims['n_fleets']}; indices: {dims['n_indices']} "
            f"({int(self['index_spec']['used'].sum())} used)",
            textwrap.fill(f"tables: {tables}", width=71, subsequent_indent="  "),
        ])


class _Block(NamedTuple):
    """A block of per-year lines: its heading, its lines' count, whether its fields are
    right-justified."""
    heading: str
    lines: int
    right: bool


def _blocks_before_index_specification(dims: dict[str, int]) -> list[_Block]:
    ages, fleets = dims["n_ages"], dims["n_fleets"]
    return [_Block("Natural Mortality", ages, False), _Block("Maturity", ages, False),
            _Block("Catch Weight at Age", ages, False),
            _Block("Spawning Stock Weight at Age", ages, False),
            _Block("Jan-1 Weight at Age", ages, False),
            _Block("Catch Weight by Fleet", fleets, False),
            _Block("Discard Weight by Fleet", fleets, False),
            _Block("Catch - Input & Effective Sample Size", 2 * fleets, False),
            _Block("Discard - Input & Effective Sample Size", 2 * fleets, False)]


def _blocks_after_index_specification(dims: dict[str, int], used: int) -> list[_Block]:
    return [_Block(INDEX_FIT, 3 * used, True),
            _Block("Index Input & Effective Sample Size", 2 * used, True),
            _Block("Average F", 3, True), _Block("Stock Numbers", dims["n_ages"], False),
            _Block("Spawning Stock Biomass", 1, True),
            _Block("Observed & Predicted Recruitment", 2, True)]


def _plural(count: int, noun: str) -> str:
    return f"{count} {noun}{'' if count == 1 else 's'}"


def _quoted(field: bytes) -> str:
    """The field without its outer spaces; bytes that do not print, `"` and `\\` as \\xhh."""
    return "".join(chr(b) if 0x20 <= b <= 0x7E and b not in b'"\\' else f"\\x{b:02x}"
                   for b in field.strip(b" "))


class _Summary:
    """A summary file checked front to back, and the place of its next line."""

    def __init__(self, file: io.BufferedReader, path: str) -> None:
        self.file, self.path = file, path
        self.size = os.fstat(file.fileno()).st_size
        self.at = 0
        self.line = 1
        self.line_width = 2  # of a data line, CR LF included; the dimensions fix it
        # A block's lines are read into one buffer and their fields copied into another.
        self.buffer = self.fields = np.empty(0, dtype=np.uint8)
        # The first bad field, raised once every line end and heading is found right.
        self.bad_field: Optional[ValueError] = None

    def error(self, line: int, message: str) -> ValueError:
        return ValueError(f"{self.path} line {line}: {message}")

    def text_line(self, message: str) -> bytes:
        """The next line without its CR LF; `message` when it does not end so."""
        self.file.seek(self.at)
        text = self.file.readline()
        if not text.endswith(b"\r\n"):
            raise self.error(self.line, message)
        self.at, self.line = self.at + len(text), self.line + 1
        return text[:-2]

    def dimensions(self) -> dict[str, int]:
        found = _DIMENSION_LINE.fullmatch(self.text_line("the line does not end in CR LF"))
        dims = dict(zip(DIMENSIONS, map(int, found.groups()))) if found else {}
        if not dims or not all(value in _INT16 for value in dims.values()):
            raise self.error(2, "expected five integers in the writer's form: years, "
                                "first year, ages, fleets, indices")
        self.line_width = FIELD_WIDTH * dims["n_years"] + 2
        return dims

    def check_size(self, size: int, at_least: bool) -> None:
        if self.size < size or (self.size != size and not at_least):
            raise ValueError(f"{self.path}: the file is {self.size} bytes; a summary of "
                             f"these dimensions is {'at least ' if at_least else ''}{size} bytes")

    def size_of(self, blocks: list[_Block]) -> int:
        """The bytes that the blocks take, headings included."""
        return sum(len(block.heading) + 2 + block.lines * self.line_width for block in blocks)

    def heading(self, heading: str) -> None:
        expected = heading.encode() + b"\r\n"
        self.file.seek(self.at)
        if self.file.read(len(expected)) != expected:
            raise self.error(self.line, f'expected the heading "{heading}"')
        self.at, self.line = self.at + len(expected), self.line + 1

    def block(self, block: _Block) -> np.ndarray:
        """The block's numbers, one row per line, once its heading and line ends are checked."""
        self.heading(block.heading)
        values = np.empty((block.lines, (self.line_width - 2) // FIELD_WIDTH))
        step = max(1, _READ_SIZE // self.line_width)
        self.buffer = np.empty(min(step, block.lines) * self.line_width, dtype=np.uint8)
        self.fields = np.empty(min(step, block.lines) * (self.line_width - 2), dtype=np.uint8)
        for first in range(0, block.lines, step):
            lines = self.next_lines(min(step, block.lines - first))
            ends = (lines[:, -2] == ord("\r")) & (lines[:, -1] == ord("\n"))
            if not ends.all():
                raise self.error(self.line + int(np.argmin(ends)),
                                 f"expected {self.line_width - 2} bytes, 16 per year, then CR LF")
            if self.bad_field is None:
                self.parse(lines, block.right, values[first:first + len(lines)])
            self.line += len(lines)
        return values

    def next_lines(self, count: int) -> np.ndarray:
        size = count * self.line_width
        self.file.seek(self.at)
        if self.file.readinto(self.buffer[:size].data) != size:
            raise ValueError(f"{self.path}: the file changed while it was read")
        self.at += size
        return self.buffer[:size].reshape(count, self.line_width)

    def parse(self, lines: np.ndarray, right: bool, out: np.ndarray) -> None:
        """The lines' numbers into `out`; the first bad field kept for later."""
        size = lines.shape[0] * (self.line_width - 2)
        fields = self.fields[:size].reshape(lines.shape[0], self.line_width - 2)
        np.copyto(fields, lines[:, :-2])
        try:
            parse_fields(fields, right, out)
        except BadField as bad:
            start = FIELD_WIDTH * bad.column
            text = fields[bad.row, start:start + FIELD_WIDTH].tobytes()
            justified = "right" if right else "left"
            self.bad_field = self.error(
                self.line + bad.row, f"field {bad.column + 1} is not a {justified}-justified "
                                     f'number in the writer\'s form: "{_quoted(text)}"')

    def index_specification(self, n_indices: int) -> np.ndarray:
        """The seven values of each index, one row per value."""
        self.heading(INDEX_SPECIFICATION)
        labels = b"".join(b"INDEX-%02d  " % number for number in range(1, n_indices + 1))
        message = f"expected {_plural(n_indices, 'index label')} in the writer's form"
        if self.text_line(message) != labels:
            raise self.error(self.line - 1, message)
        return np.array([self.index_values(n_indices) for _ in range(7)], dtype=int)

    def index_values(self, n_indices: int) -> list[int]:
        message = f"expected {_plural(n_indices, 'index value')} in the writer's form"
        text = self.text_line(message)
        values = [int(value) for value in _INDEX_VALUE.findall(text)]
        if (len(values) != n_indices or not all(value in _INT16 for value in values)
                or b"".join(b"%2d        " % value for value in values) != text):
            raise self.error(self.line - 1, message)
        return values


def _index_specification_size(n_indices: int) -> int:
    """The smallest size of the block's label and value lines: each value one digit."""
    labels = sum(len(b"INDEX-%02d  " % number) for number in range(1, n_indices + 1))
    return labels + 2 + 7 * (10 * n_indices + 2)


def read(path: PathLike) -> Run:
    """Reads a summary file; every table is labelled by age, fleet, index or column and year.

    The result is a dict of the tables by name (a :class:`Run`, which prints in short).

    A zero may stand for a value the model's report lacked (a missing section, a year without a
    survey row); ``scantelk --warn run.dat`` names them, and ``scantelk --nan run.dat`` writes
    them as NaN instead, which reads as NaN and leaves a gap in plots. The fits that
    ``scantelk --fits`` writes beside the summary (``run.fits.csv``) are the table ``fits``
    (see :func:`scantelk.read_fits`), left out with a warning when the CSV is older than the
    summary. Recruitment is labelled
    by the recruits' own years: the model reports on year y's row the recruits of year y + 1.
    Each number is the double nearest to its decimal text.
    Raises ValueError naming the file and line (and the field) when the file is not a summary
    as scantelk writes it, and naming both sizes when its size is not that of its dimensions.
    """
    run = labelled(parse(path))
    from scantelk.fits import fits_beside  # here, as fits.py imports this module
    fits = fits_beside(path)
    if fits is not None:
        run["fits"] = fits
    return run


class Parsed(NamedTuple):
    """A summary checked and its numbers read, not yet labelled: ``values`` holds each per-year
    block's numbers by heading, one row per line, in the order of the file."""
    title: str
    dims: dict[str, int]
    index_values: np.ndarray
    values: dict[str, np.ndarray]


def parse(path: PathLike) -> Parsed:
    """What :func:`read` finds in a summary, before it makes tables of it; the same errors."""
    with open(path, "rb") as file:
        summary = _Summary(file, os.fspath(path))
        title = summary.text_line("the line does not end in CR LF").decode("utf-8", "replace")
        dims = summary.dimensions()
        before = _blocks_before_index_specification(dims)
        summary.check_size(summary.at + summary.size_of(before)
                           + summary.size_of(_blocks_after_index_specification(dims, 0))
                           + len(INDEX_SPECIFICATION) + 2
                           + _index_specification_size(dims["n_indices"]), at_least=True)
        values = {block.heading: summary.block(block) for block in before}
        index_values = summary.index_specification(dims["n_indices"])
        after = _blocks_after_index_specification(dims, int(np.count_nonzero(index_values[6])))
        summary.check_size(summary.at + summary.size_of(after), at_least=False)
        values.update((block.heading, summary.block(block)) for block in after)
    if summary.bad_field is not None:
        raise summary.bad_field
    return Parsed(title, dims, index_values, values)


def labelled(parsed: Parsed) -> Run:
    """The tables, labelled."""
    title, dims, index_values, values = parsed
    years = list(range(dims["first_year"], dims["first_year"] + dims["n_years"]))
    ages = ("age", list(range(1, dims["n_ages"] + 1)))
    fleets = ("fleet", list(range(1, dims["n_fleets"] + 1)))

    def table(heading: str, labels: tuple[str, list], columns: list[int] = years
              ) -> pd.DataFrame:
        return _table(values[heading], labels, columns)

    def kinds(heading: str, labels: tuple[str, list], kinds: list[str]) -> pd.DataFrame:
        return _kinds(values[heading], labels, kinds, years)

    run = Run(title=title, years=years, dims=dims)
    run["natural_mortality"] = table("Natural Mortality", ages)
    run["maturity"] = table("Maturity", ages)
    run["catch_weight_at_age"] = table("Catch Weight at Age", ages)
    run["ssb_weight_at_age"] = table("Spawning Stock Weight at Age", ages)
    run["jan1_weight_at_age"] = table("Jan-1 Weight at Age", ages)
    run["catch_weight"] = table("Catch Weight by Fleet", fleets)
    run["discard_weight"] = table("Discard Weight by Fleet", fleets)
    run["catch_ess"] = kinds("Catch - Input & Effective Sample Size", fleets, SAMPLE_SIZES)
    run["discard_ess"] = kinds("Discard - Input & Effective Sample Size", fleets, SAMPLE_SIZES)
    index_spec = run["index_spec"] = _index_spec(index_values)
    # Only used indices have lines; each keeps its number among all indices as its label.
    used = ("index", index_spec["index"][index_spec["used"]].tolist())
    run["index_fit"] = kinds(INDEX_FIT, used, ["observed", "predicted", "std_residual"])
    run["index_ess"] = kinds("Index Input & Effective Sample Size", used, SAMPLE_SIZES)
    run["average_f"] = table("Average F", ("column", [1, 2, 3]))
    run["stock_numbers"] = table("Stock Numbers", ages)
    run["ssb"] = table("Spawning Stock Biomass", ("row", [1])).loc[1]
    run["ssb"].name = "ssb"
    run["recruitment"] = table("Observed & Predicted Recruitment",
                               ("kind", ["observed", "predicted"]), [y + 1 for y in years])
    return run


def _table(values: np.ndarray, labels: tuple[str, list], years: list[int]) -> pd.DataFrame:
    """A block of one line per label: rows are the labels, columns the years."""
    name, label_values = labels
    return pd.DataFrame(values, index=pd.Index(label_values, name=name),
                        columns=pd.Index(years, name="year"))


def _kinds(values: np.ndarray, labels: tuple[str, list], kinds: list[str],
           years: list[int]) -> pd.DataFrame:
    """A block of one line per label and kind, kinds changing fastest."""
    name, label_values = labels
    # As MultiIndex.from_product gives it, without its factorizing, which costs more than
    # reading a small block.
    index = pd.MultiIndex(levels=[pd.Index(label_values), pd.Index(kinds)],
                          codes=[np.repeat(np.arange(len(label_values)), len(kinds)),
                                 np.tile(np.arange(len(kinds)), len(label_values))],
                          names=[name, "kind"], verify_integrity=False)
    return pd.DataFrame(values, index=index, columns=pd.Index(years, name="year"))


def _index_spec(values: np.ndarray) -> pd.DataFrame:
    index_spec = pd.DataFrame(values.T, columns=[f"value{k}" for k in range(1, 7)] + ["use"])
    index_spec.insert(0, "index", range(1, values.shape[1] + 1))
    index_spec["used"] = index_spec["use"] != 0
    return index_spec
