"""The runs of the report page: each summary read and named, and the page's header, which says
what the page shows."""
from __future__ import annotations

import collections
import html
import os
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Optional, Sequence

import pandas as pd

from scantelk.page_figures import used_indices
from scantelk.page_html import Table, plain, table
from scantelk.reader import PathLike, read


@dataclass
class Source:
    """One summary on the command line, read; `name` and `shown_path` as the page shows them."""

    name: str
    path: Path
    run: dict[str, Any]
    modified: float

    @property
    def last_year(self) -> int:
        years = self.run["years"]
        return years[-1] if years else self.run["dims"]["first_year"] - 1

    @property
    def shown_path(self) -> str:
        return plain(os.fspath(self.path))

    @property
    def title(self) -> str:
        return plain(self.run["title"]).strip() or plain(self.path.name)


def run_names(summaries: Sequence[PathLike], names: Optional[Sequence[str]]) -> list[str]:
    if names is None:
        names = [Path(summary).stem for summary in summaries]
        if len(set(names)) < len(names):  # the same file name in two folders
            names = [os.fspath(summary) for summary in summaries]
    elif len(names) != len(summaries):
        raise ValueError(f"{len(names)} names given for {len(summaries)} summaries")
    if any(not name.strip() for name in names):
        raise ValueError("a run name is empty")
    repeated = [name for name, count in collections.Counter(names).items() if count > 1]
    if repeated:
        raise ValueError(f"two runs have the same name: {repeated[0]}")
    return [plain(name) for name in names]


def read_source(name: str, summary: PathLike) -> Source:
    path = Path(summary)
    run = read(path)
    return Source(name, path, run, path.stat().st_mtime)


def facts(sources: Sequence[Source], shown: Source, listed: bool = True) -> str:
    """What the page shows: the summaries (`listed`: in a table; else a sentence, the list
    being in the ensemble section), then the dimensions of the run its sections show."""
    run, dims = shown.run, shown.run["dims"]
    facts = [
        ("Summary", shown.shown_path),
        ("Modified", _modified(shown)),
        ("Years", _describe_years(run["years"])),
        ("Ages", f"1 to {dims['n_ages']}" if dims["n_ages"] else "none"),
        ("Fleets", str(dims["n_fleets"]) if dims["n_fleets"] else "none"),
        ("Indices", _describe_indices(dims["n_indices"], used_indices(run))),
    ]
    text = '<dl class="facts">' + "".join(
        f"<dt>{html.escape(term)}</dt><dd>{html.escape(value)}</dd>" for term, value in facts
    ) + "</dl>"
    if len(sources) == 1:
        return text
    if not listed:
        return (f'<p class="runs">{len(sources)} runs, listed in the ensemble section; the '
                f"detailed sections show {html.escape(_which(sources, shown))}:</p>" + text)
    return runs_table(sources, shown).html + text


def runs_table(sources: Sequence[Source], shown: Source) -> Table:
    """The table of the runs, which names the one the detailed sections show."""
    caption = f"{len(sources)} runs; the detailed sections show {_which(sources, shown)}:"
    return table("runs", caption, _runs_frame(sources), text_columns=4)


def _which(sources: Sequence[Source], shown: Source) -> str:
    """Names the run the detailed sections show, and why that one."""
    last = shown.last_year
    ending_last = sum(source.last_year == last for source in sources)
    if ending_last == len(sources):
        return f"{shown.name}, the first given, since every run ends in {last}"
    if ending_last == 1:
        return f"{shown.name}, the run that ends last ({last})"
    return f"{shown.name}, the first given of the runs that end last ({last})"


def _runs_frame(sources: Sequence[Source]) -> pd.DataFrame:
    return pd.DataFrame(
        [[s.name, s.shown_path, _modified(s),
          f"{s.run['years'][0]} to {s.last_year}" if s.run["years"] else "none"]
         for s in sources], columns=["Run", "Summary", "Modified", "Years"])


def _describe_years(years: list[int]) -> str:
    if not years:
        return "none"
    return f"{years[0]} ({len(years)} year)" if len(years) == 1 else \
        f"{years[0]} to {years[-1]} ({len(years)} years)"


def _modified(source: Source) -> str:
    return time.strftime("%Y-%m-%d %H:%M:%S %z", time.localtime(source.modified))


def _describe_indices(count: int, used: list[int]) -> str:
    if count == 0:
        return "none"
    numbers = ", ".join(map(str, used)) if used else "none"
    return f"{count}; used: {numbers}"
