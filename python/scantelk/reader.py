"""Reads a scantelk summary file into pandas tables labelled by age, fleet, index and year.

The file is read front to back. The dimension line fixes the length of every block, so each
heading is checked where it must stand, never searched for: a title may equal a heading.
"""
from __future__ import annotations

import os
import re
import textwrap
from typing import Union

import numpy as np
import pandas as pd

PathLike = Union[str, "os.PathLike[str]"]

DIMENSIONS = ("n_years", "first_year", "n_ages", "n_fleets", "n_indices")
SAMPLE_SIZES = ["input", "effective"]
_INTEGER = re.compile(r"-?[0-9]{1,9}")


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


class _Lines:
    """The lines of a summary and how many of them have been read."""

    def __init__(self, path: PathLike) -> None:
        self.path = os.fspath(path)
        # The lines end in CR LF. Only LF ends a line and the one CR before it is dropped, so
        # that a CR of a title's own stays in the title.
        with open(path, encoding="utf-8", errors="replace", newline="") as file:
            self.text = [line[:-1] if line.endswith("\r") else line
                         for line in file.read().split("\n")]
        if self.text[-1] == "":
            self.text.pop()
        self.at = 0

    def error(self, line: int, message: str) -> ValueError:
        return ValueError(f"{self.path} line {line}: {message}")

    def take(self, count: int, where: str) -> list[str]:
        """The next `count` lines; `where` ends the message when the file is too short."""
        if self.at + count > len(self.text):
            raise self.error(len(self.text) + 1, f"the file ends {where}")
        self.at += count
        return self.text[self.at - count:self.at]

    def expect_heading(self, heading: str) -> None:
        if self.take(1, f'before the block "{heading}"')[0] != heading:
            raise self.error(self.at, f'expected the heading "{heading}"')

    def values(self, heading: str, n_lines: int, n_fields: int) -> np.ndarray:
        """`n_lines` lines of `n_fields` numbers each, one row per line."""
        first = self.at + 1
        rows = []
        for line, text in enumerate(self.take(n_lines, f'inside the block "{heading}"'), first):
            fields = text.split()
            if len(fields) != n_fields:
                raise self.error(line, f"expected {n_fields} values, found {len(fields)}")
            rows.append([self._number(field, line) for field in fields])
        return np.array(rows, dtype=float).reshape(n_lines, n_fields)

    def _number(self, field: str, line: int) -> float:
        try:
            return float(field)
        except ValueError:
            raise self.error(line, f'"{field}" is not a number') from None


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
    Raises ValueError naming the file and line when the file is not a summary.
    """
    lines = _Lines(path)
    title = lines.take(1, "before the title")[0]
    dims = _read_dimensions(lines)
    years = list(range(dims["first_year"], dims["first_year"] + dims["n_years"]))
    ages = ("age", list(range(1, dims["n_ages"] + 1)))
    fleets = ("fleet", list(range(1, dims["n_fleets"] + 1)))

    run = Run(title=title, years=years, dims=dims)
    run["natural_mortality"] = _table(lines, "Natural Mortality", ages, years)
    run["maturity"] = _table(lines, "Maturity", ages, years)
    run["catch_weight_at_age"] = _table(lines, "Catch Weight at Age", ages, years)
    run["ssb_weight_at_age"] = _table(lines, "Spawning Stock Weight at Age", ages, years)
    run["jan1_weight_at_age"] = _table(lines, "Jan-1 Weight at Age", ages, years)
    run["catch_weight"] = _table(lines, "Catch Weight by Fleet", fleets, years)
    run["discard_weight"] = _table(lines, "Discard Weight by Fleet", fleets, years)
    run["catch_ess"] = _kinds(lines, "Catch - Input & Effective Sample Size", fleets,
                              SAMPLE_SIZES, years)
    run["discard_ess"] = _kinds(lines, "Discard - Input & Effective Sample Size", fleets,
                                SAMPLE_SIZES, years)
    index_spec = run["index_spec"] = _index_spec(lines, dims["n_indices"])
    # Only used indices have lines; each keeps its number among all indices as its label.
    used = ("index", index_spec["index"][index_spec["used"]].tolist())
    run["index_fit"] = _kinds(lines, "Index Observed, Predicted, Standardized Residual", used,
                              ["observed", "predicted", "std_residual"], years)
    run["index_ess"] = _kinds(lines, "Index Input & Effective Sample Size", used,
                              SAMPLE_SIZES, years)
    run["average_f"] = _table(lines, "Average F", ("column", [1, 2, 3]), years)
    run["stock_numbers"] = _table(lines, "Stock Numbers", ages, years)
    run["ssb"] = _table(lines, "Spawning Stock Biomass", ("row", [1]), years).loc[1]
    run["ssb"].name = "ssb"
    run["recruitment"] = _table(lines, "Observed & Predicted Recruitment",
                                ("kind", ["observed", "predicted"]), [y + 1 for y in years])
    if lines.at < len(lines.text):
        raise lines.error(lines.at + 1, "expected the end of the file after the last block")
    from scantelk.fits import fits_beside  # here, as fits.py imports this module
    fits = fits_beside(path)
    if fits is not None:
        run["fits"] = fits
    return run


def _read_dimensions(lines: _Lines) -> dict[str, int]:
    fields = lines.take(1, "before the dimensions")[0].split()
    if (len(fields) != len(DIMENSIONS) or not all(_INTEGER.fullmatch(f) for f in fields)
            or any(int(f) < 0 for i, f in enumerate(fields) if DIMENSIONS[i] != "first_year")):
        raise lines.error(lines.at,
                          "expected five integers: years, first year, ages, fleets, indices")
    return dict(zip(DIMENSIONS, map(int, fields)))


def _table(lines: _Lines, heading: str, labels: tuple[str, list], years: list[int]) -> pd.DataFrame:
    """A block of one line per label: rows are the labels, columns the years."""
    lines.expect_heading(heading)
    name, values = labels
    return pd.DataFrame(lines.values(heading, len(values), len(years)),
                        index=pd.Index(values, name=name), columns=pd.Index(years, name="year"))


def _kinds(lines: _Lines, heading: str, labels: tuple[str, list], kinds: list[str],
           years: list[int]) -> pd.DataFrame:
    """A block of one line per label and kind, kinds changing fastest."""
    lines.expect_heading(heading)
    name, values = labels
    index = pd.MultiIndex.from_product([values, kinds], names=[name, "kind"])
    return pd.DataFrame(lines.values(heading, len(index), len(years)),
                        index=index, columns=pd.Index(years, name="year"))


def _index_spec(lines: _Lines, n_indices: int) -> pd.DataFrame:
    lines.expect_heading("Index Specification")
    labels = lines.take(1, 'inside the block "Index Specification"')[0].split()
    if labels != [f"INDEX-{i:02d}" for i in range(1, n_indices + 1)]:
        raise lines.error(lines.at, f"expected the labels of {n_indices} indices")
    values = lines.values("Index Specification", 7, n_indices).astype(int)
    index_spec = pd.DataFrame(values.T, columns=[f"value{k}" for k in range(1, 7)] + ["use"])
    index_spec.insert(0, "index", range(1, n_indices + 1))
    index_spec["used"] = index_spec["use"] != 0
    return index_spec
