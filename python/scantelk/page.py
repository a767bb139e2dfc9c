"""The report page: every figure and the key tables of one run, or of several, in one HTML file.

The page needs nothing beside it: the figures are inline SVG with their text kept as text, the
style is one <style> element, and every link points inside the page.
"""
from __future__ import annotations

import argparse
import collections
import contextlib
import errno
import html
import io
import itertools
import os
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Iterator, Optional, Sequence, Union

import pandas as pd

from scantelk import page_diagnostics as diagnostics
from scantelk import page_figures as figures
from scantelk.page_html import Absent, Note, Table, plain, section, table
from scantelk.page_runs import compare_items, is_retrospective_set, retro_items
from scantelk.reader import PathLike, read
from scantelk.retrospective import check_f_column

__all__ = ["is_retrospective_set", "main", "render", "report_page"]

SECTIONS = {
    "compare": "Runs compared",
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


def report_page(summaries: Sequence[PathLike], path: Optional[PathLike] = None, *,
                title: Optional[str] = None, names: Optional[Sequence[str]] = None,
                f_column: int = 1) -> Path:
    """Writes the report page of one or more summaries and returns its path.

    `path` defaults to the first summary's path with its extension replaced by ``.html``. The
    page is written whole or not at all and replaces an existing page; it is never written over
    one of the summaries. It is opened before any summary is read, so that a page that cannot be
    written fails first. `names` names the runs (by default their file names without the
    extension); `f_column` (1 to 3) is the average-F column that stands for a run in the
    comparison, the tables and Mohn's rho. Titles, names and paths are shown as plain text, with
    bytes that are not UTF-8 and control characters as U+FFFD. Raises ValueError for a damaged
    summary (naming the file and line) or bad arguments, OSError for a file that cannot be read
    or written (naming the page, never its temporary file).
    """
    check_f_column(f_column)
    if not summaries:
        raise ValueError("no summary given")
    if path is not None and os.fspath(path) == "":
        raise ValueError("the page's name is empty")
    page = Path(path) if path is not None else Path(summaries[0]).with_suffix(".html")
    _refuse_to_replace_inputs(page, summaries)
    run_names = _run_names(summaries, names)
    with _replacing(page) as file:
        sources = [_read_source(name, summary) for name, summary in zip(run_names, summaries)]
        text = render(sources, title=title, f_column=f_column)
        with _naming(page):
            file.write(text)
    return page


def render(sources: Sequence[Source], *, title: Optional[str] = None, f_column: int = 1) -> str:
    """The page's HTML text."""
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
    if len(sources) > 1:
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
{_facts(sources, shown)}
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


# Reading and naming the runs.

def _run_names(summaries: Sequence[PathLike], names: Optional[Sequence[str]]) -> list[str]:
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


def _read_source(name: str, summary: PathLike) -> Source:
    path = Path(summary)
    run = read(path)
    return Source(name, path, run, path.stat().st_mtime)


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


# The header.

def _facts(sources: Sequence[Source], shown: Source) -> str:
    """What the page shows: the summaries, then the dimensions of the run its sections show."""
    run, dims = shown.run, shown.run["dims"]
    facts = [
        ("Summary", shown.shown_path),
        ("Modified", _modified(shown)),
        ("Years", _describe_years(run["years"])),
        ("Ages", f"1 to {dims['n_ages']}" if dims["n_ages"] else "none"),
        ("Fleets", str(dims["n_fleets"]) if dims["n_fleets"] else "none"),
        ("Indices", _describe_indices(dims["n_indices"], figures.used_indices(run))),
    ]
    text = '<dl class="facts">' + "".join(
        f"<dt>{html.escape(term)}</dt><dd>{html.escape(value)}</dd>" for term, value in facts
    ) + "</dl>"
    if len(sources) == 1:
        return text
    caption = (f"{len(sources)} runs; the sections after the comparison show "
               f"{_which(sources, shown)}:")
    return table("runs", caption, _runs_frame(sources), text_columns=4).html + text


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


# The command.

DESCRIPTION = """\
Writes one self-contained HTML page with every figure and the key tables of one run, or of
several, from the summaries that scantelk writes (RUN.tmp).

The page holds a header (title, summary, modification time, years, ages, fleets, used indices,
contents) and the sections stock, fishing, indices, composition, biology and tables; the table
"key-quantities" gives SSB, recruitment (the stock numbers at the first age) and the three
average-F columns of every year. Figures that a run cannot have are replaced by a sentence
saying why. With two or more summaries, a section "compare" comes first, and, when the runs
share their first year and end in different years (a retrospective set), a section "retro"
with the retrospective plot and Mohn's rho; the other sections show the run that ends last.

The page needs nothing beside it: figures are inline SVG, no file or network address is
referenced, and no JavaScript is needed to see it. It is written whole or not at all (a
temporary file beside it is renamed), replaces an existing page, and is never written over one
of the summaries.
"""
EPILOG = """\
A missing or damaged summary, or a page that cannot be written, gives one line on standard
error naming the file (and, for a damaged summary, the line) and exit status 1; no page is
written and an existing one is left as it was.
"""


class _Parser(argparse.ArgumentParser):
    """Every error is one line and exit status 1, as for a damaged summary."""

    def error(self, message: str):
        self.exit(1, f"{self.prog}: error: {message} (see --help)\n")


def _parser(prog: Optional[str]) -> argparse.ArgumentParser:
    parser = _Parser(prog=prog, description=DESCRIPTION, epilog=EPILOG,
                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("summaries", nargs="+", metavar="RUN.tmp",
                        help="summaries written by scantelk; the first names the default page")
    parser.add_argument("-o", "--output", metavar="PAGE.html",
                        help="the page to write (default: the first summary's path with the "
                             "extension .html)")
    parser.add_argument("--title", help="the page's title (default: the run's own title)")
    parser.add_argument("--names", metavar="A,B,...",
                        help="names of the runs, one per summary, separated by commas "
                             "(default: the file names without their extension)")
    parser.add_argument("--f-column", type=int, choices=(1, 2, 3), default=1, metavar="N",
                        help="the average-F column (1 to 3, default 1) that stands for a run in "
                             "the comparison, the tables and Mohn's rho")
    return parser


def main(argv: Optional[Sequence[str]] = None, prog: Optional[str] = None) -> int:
    arguments = _parser(prog or "scantelk-report").parse_args(argv)
    names = arguments.names.split(",") if arguments.names is not None else None
    try:
        report_page(arguments.summaries, arguments.output, title=arguments.title, names=names,
                    f_column=arguments.f_column)
    except (ValueError, OSError) as error:
        print(f"{prog or 'scantelk-report'}: error: {_one_line(error)}", file=sys.stderr)
        return 1
    return 0


def _one_line(error: Exception) -> str:
    if isinstance(error, OSError) and error.filename is not None:
        return f"{error.filename}: {error.strerror}"
    return " ".join(str(error).split())
