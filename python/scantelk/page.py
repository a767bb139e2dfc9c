"""The report page: every figure and the key tables of one run, or of several, in one HTML file.

The page needs nothing beside it: the figures are inline SVG with their text kept as text, the
style is one <style> element, and every link points inside the page.
"""
from __future__ import annotations

import contextlib
import errno
import html
import io
import itertools
import os
import tempfile
from pathlib import Path
from typing import Any, Iterator, Optional, Sequence, Union

import pandas as pd

from scantelk import page_diagnostics as diagnostics
from scantelk import page_figures as figures
from scantelk.page_html import Absent, Note, Table, plain, section, table
from scantelk.page_header import Source, facts, read_source, run_names, runs_table
from scantelk.page_runs import (MOST_RUNS_COMPARED, compare_items, ensemble_items,
                                is_retrospective_set, retro_items)
from scantelk.reader import PathLike
from scantelk.retrospective import check_f_column

__all__ = ["Source", "is_retrospective_set", "render", "report_page"]

SECTIONS = {
    "compare": "Runs compared",
    "ensemble": "Ensemble of runs",
    "retro": "Retrospective analysis",
    "stock": "Stock",
    "stock-recruitment": "Stock and recruitment",
    "fishing": "Fishing mortality and catch",
    "indices": "Survey indices",
    "composition": "Composition sample sizes",
    "fits": "Catch and composition fits",
    "biology": "Biology",
    "tables": "Tables",
}
NUMBERS_NOTE = ("Recruitment is the stock numbers at the first age, the recruits of that year; "
                "F1 to F3 are the three average-F columns. Numbers are shown with up to seven "
                "significant digits, as the summary holds them.")

STYLE = """
body { margin: 0; color: #1b1b1b; background: #fff; line-height: 1.45;
       font-family: "DejaVu Sans", "Helvetica Neue", Arial, sans-serif; font-size: 15px; }
header, main, footer { max-width: 1200px; margin: 0 auto; padding: 0 20px; }
h1 { font-size: 1.6em; margin: 1em 0 0.4em; overflow-wrap: anywhere; }
h2 { font-size: 1.3em; margin: 1.8em 0 0.6em; padding-bottom: 0.2em;
     border-bottom: 1px solid #bbb; }
dl.facts { display: grid; grid-template-columns: max-content 1fr; gap: 0.1em 1.2em; margin: 0; }
dl.facts dt { font-weight: bold; }
dl.facts dd { margin: 0; overflow-wrap: anywhere; }
#completeness { margin: 1em 0; padding: 0.4em 1em; border-left: 4px solid #D55E00;
                background: #fdf3ec; }
#completeness p, #completeness ul { margin: 0.4em 0; }
code { white-space: nowrap; }
nav ol { display: flex; flex-wrap: wrap; gap: 0.2em 1.4em; list-style: none; padding: 0; }
nav a, a { color: #0b5394; }
.figures { display: grid; grid-template-columns: repeat(2, minmax(0, 1fr)); gap: 1.2em 1.6em; }
figure { margin: 0; }
figure.wide { grid-column: 1 / -1; }
figure svg { display: block; width: 100%; height: auto; }
figure svg * { stroke-linejoin: round; stroke-linecap: butt; }
figcaption { font-size: 0.9em; color: #444; margin-top: 0.3em; }
p.absent { font-style: italic; color: #444; margin: 0.3em 0; }
details { margin: 1em 0; }
summary { cursor: pointer; }
.tables { margin-top: 1em; display: flex; flex-wrap: wrap; align-items: flex-start; gap: 0 2.5em; }
.table { overflow-x: auto; max-width: 100%; margin-bottom: 1.5em; }
table { border-collapse: collapse; font-variant-numeric: tabular-nums; font-size: 0.9em; }
caption { caption-side: top; text-align: left; font-weight: bold; padding-bottom: 0.4em; }
th, td { padding: 0.15em 0.8em; text-align: right; border-bottom: 1px solid #e2e2e2; }
th { background: #f3f3f3; }
td.text, th.text { text-align: left; overflow-wrap: anywhere; }
footer { color: #666; font-size: 0.85em; margin-top: 2em; padding-bottom: 1.5em; }
@media (max-width: 800px) { .figures { grid-template-columns: minmax(0, 1fr); } }
"""


def report_page(summaries: Sequence[PathLike], path: Optional[PathLike] = None, *,
                title: Optional[str] = None, names: Optional[Sequence[str]] = None,
                f_column: int = 1, ensemble: bool = False) -> Path:
    """Writes the report page of one or more summaries and returns its path.

    `path` defaults to the first summary's path with its extension replaced by ``.html``. The
    page is written whole or not at all and replaces an existing page; it is never written over
    one of the summaries. It is opened before any summary is read, so that a page that cannot be
    written fails first. `names` names the runs (by default their file names without the
    extension); `f_column` (1 to 3) is the average-F column that stands for a run in the
    comparison, the tables and Mohn's rho. More than 12 runs, or `ensemble`, are drawn as an
    ensemble (fan charts and quantiles) instead of a line each.

    Titles, names and paths are shown as plain text, with bytes that are not UTF-8 and control
    characters as U+FFFD. Raises ValueError for a damaged summary (naming the file and line) or
    bad arguments, OSError for a file that cannot be read or written (naming the page, never
    its temporary file).
    """
    check_f_column(f_column)
    if not summaries:
        raise ValueError("no summary given")
    if path is not None and os.fspath(path) == "":
        raise ValueError("the page's name is empty")
    page = Path(path) if path is not None else Path(summaries[0]).with_suffix(".html")
    _refuse_to_replace_inputs(page, summaries)
    named = run_names(summaries, names)
    with _replacing(page) as file:
        sources = [read_source(name, summary) for name, summary in zip(named, summaries)]
        text = render(sources, title=title, f_column=f_column, ensemble=ensemble)
        with _naming(page):
            file.write(text)
    return page


def render(sources: Sequence[Source], *, title: Optional[str] = None, f_column: int = 1,
           ensemble: bool = False) -> str:
    """The page's HTML text."""
    ensemble = len(sources) > 1 and (ensemble or len(sources) > MOST_RUNS_COMPARED)
    shown = max(sources, key=lambda source: source.last_year)
    retrospective = is_retrospective_set([source.run for source in sources])
    if title is not None and title.strip():
        heading = plain(title).strip()
    elif len(sources) == 1 or retrospective:
        heading = shown.title
    else:
        heading = f"{len(sources)} runs compared"
    sections = []
    runs = {source.name: source.run for source in sources}
    if ensemble:
        sections.append(("ensemble", ensemble_items(runs, f_column, runs_table(sources, shown))))
    elif len(sources) > 1:
        sections.append(("compare", compare_items(runs, f_column)))
    if retrospective:
        sections.append(("retro", retro_items(runs, f_column)))
    sections += _run_sections(shown.run, shown.path, f_column)
    number = itertools.count(1)
    body = "\n".join(section(key, SECTIONS[key], content, number) for key, content in sections)
    contents = "".join(f'<li><a href="#{key}">{html.escape(SECTIONS[key])}</a></li>'
                       for key, _ in sections)
    return f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{html.escape(heading)}</title>
<style>{STYLE}</style>
</head>
<body>
<header>
<h1>{html.escape(heading)}</h1>
{facts(sources, shown, listed=not ensemble)}
{diagnostics.completeness(shown.run, shown.path)}
<nav aria-label="Contents"><ol>{contents}</ol></nav>
</header>
<main>
{body}
</main>
<footer>Made by scantelk report from the summaries named above.</footer>
</body>
</html>
"""


# The sections of one run.

def _run_sections(run: dict[str, Any], summary: Path, f_column: int) -> list[tuple[str, list]]:
    return [
        ("stock", figures.stock_items(run)),
        ("stock-recruitment", diagnostics.stock_recruitment_items(run)),
        ("fishing", figures.fishing_items(run, f_column)),
        ("indices", diagnostics.index_items(run)),
        ("composition", figures.composition_items(run)),
        ("fits", diagnostics.fits_items(run, summary)),
        ("biology", figures.biology_items(run)),
        ("tables", [Note(NUMBERS_NOTE), _key_quantities(run), _stock_numbers_table(run)]),
    ]


def _key_quantities(run: dict[str, Any]) -> Table:
    recruits = figures.recruits_by_year(run)
    average_f = run["average_f"]
    frame = pd.DataFrame({
        "Year": [str(year) for year in run["years"]],
        "SSB": run["ssb"].to_list(),
        "Recruitment": recruits.to_list() if recruits is not None else [""] * len(run["years"]),
        **{f"F{column}": average_f.loc[column].to_list() for column in (1, 2, 3)},
    })
    caption = "Key quantities by year"
    if recruits is None:
        caption += " (no ages, so no recruitment)"
    return table("key-quantities", caption, frame)


def _stock_numbers_table(run: dict[str, Any]) -> Union[Table, Absent]:
    numbers = run["stock_numbers"]
    if len(numbers) == 0:
        return Absent("The run has no ages, so it has no table of stock numbers at age.")
    frame = numbers.T.rename(columns=lambda age: f"Age {age}")
    frame.insert(0, "Year", [str(year) for year in numbers.columns])
    return table("stock-numbers", "Stock numbers at age by year", frame)


# Writing.

def _refuse_to_replace_inputs(page: Path, summaries: Sequence[PathLike]) -> None:
    for summary in summaries:
        same = page.resolve() == Path(summary).resolve()
        with contextlib.suppress(OSError):
            same = same or os.path.samefile(page, summary)
        if same:
            raise ValueError(f"the page {page} would replace its input {summary}")


@contextlib.contextmanager
def _naming(page: Path) -> Iterator[None]:
    """An OSError of the page's own file, told under the page's name, not its temporary's."""
    try:
        yield
    except OSError as error:
        raise OSError(error.errno, error.strerror or str(error), os.fspath(page)) from None


@contextlib.contextmanager
def _replacing(page: Path) -> Iterator[io.TextIOBase]:
    """A file that replaces `page` once the block ends without an error. It is written beside
    the page and renamed, so a reader sees the old page or the new one, never a part; and it is
    opened first (a check of permissions would say yes to root), so that a page that cannot be
    written fails before any summary is read."""
    with _naming(page):
        if page.is_dir():
            raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), os.fspath(page))
        handle, temporary = tempfile.mkstemp(dir=page.parent, prefix=f".{page.name}.",
                                             suffix=".part")
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as file:
            yield file
            with _naming(page):
                file.flush()
                os.fsync(file.fileno())
        with _naming(page):
            os.chmod(temporary, 0o666 & ~_umask())  # as an ordinary new file, not mkstemp's 0600
            os.replace(temporary, page)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise


def _umask() -> int:
    mask = os.umask(0)
    os.umask(mask)
    return mask
