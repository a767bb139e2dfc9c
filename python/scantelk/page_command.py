"""scantelk-report: the report page's command line."""
from __future__ import annotations

import argparse
import sys
from typing import Optional, Sequence

from scantelk.page import report_page

DESCRIPTION = """\
Writes one self-contained HTML page with every figure and the key tables of one run, or of
several, from the summaries that scantelk writes (RUN.tmp).

The page holds a header (title, summary, modification time, years, ages, fleets, used indices,
contents), then, before any figure, a box naming the values the run lacks (NaN, or zeros that
may stand for values the report lacked); then the sections stock, stock-recruitment, fishing,
indices (fits on a logarithmic axis where every value is positive, standardized residuals and
the table "index-residuals"), composition, fits (the catch and composition fits, when
RUN.fits.csv from scantelk --fits stands beside the summary), biology and tables; the table
"key-quantities" gives SSB, recruitment (the stock numbers at the first age, as everywhere on
the page) and the three average-F columns of every year. A figure that a run cannot have, or
a series without any value or zero throughout, is replaced by a sentence saying so. With two
or more summaries, a section "compare" comes first, and, when the runs share their first year
and end in different years (a retrospective set), a section "retro" with the retrospective
plot and Mohn's rho; the other sections show the run that ends last, or the first given when
all end in the same year. More than 12 runs, or --ensemble, are drawn as an ensemble (section
"ensemble": fan charts, the quantiles of the last year all runs hold, the list of runs folded
away) in place of the comparison. Titles, names and paths are shown as given, as plain text.

The page needs nothing beside it: figures are inline SVG, no file or network address is
referenced, and no JavaScript is needed to see it. It is written whole or not at all (a
temporary file beside it is renamed), replaces an existing page, and is never written over one
of the summaries.
"""
EPILOG = """\
A missing or damaged summary, or a page that cannot be written, gives one line on standard
error naming the file (and, for a damaged summary, the line) and exit status 1; no page is
written and an existing one is left as it was. The page is opened before any summary is read,
so that -o naming a folder, an empty name or a folder that cannot be written fails at once.
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
    parser.add_argument("--ensemble", action="store_true",
                        help="draw the runs as an ensemble (fan charts and quantiles) rather "
                             "than a line each, as for more than 12 runs")
    return parser


def main(argv: Optional[Sequence[str]] = None, prog: Optional[str] = None) -> int:
    arguments = _parser(prog or "scantelk-report").parse_args(argv)
    names = arguments.names.split(",") if arguments.names is not None else None
    try:
        report_page(arguments.summaries, arguments.output, title=arguments.title, names=names,
                    f_column=arguments.f_column, ensemble=arguments.ensemble)
    except (ValueError, OSError) as error:
        print(f"{prog or 'scantelk-report'}: error: {_one_line(error)}", file=sys.stderr)
        return 1
    return 0


def _one_line(error: Exception) -> str:
    if isinstance(error, OSError) and error.filename is not None:
        return f"{error.filename}: {error.strerror}"
    return " ".join(str(error).split())
