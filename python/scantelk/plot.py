"""The standard plots of runs, drawn with matplotlib, which only this module needs.

Every function returns the matplotlib Figure and, when given a path, also writes it as a PNG.
"""
from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any, Iterable, Optional

from scantelk.long_form import Runs, read_runs
from scantelk.reader import PathLike
from scantelk.retrospective import QUANTITIES, analyse, check_f_column, estimate, rho_of

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure

# Colours that stay apart for readers with colour vision deficiency (Okabe and Ito).
COLOURS = ["#000000", "#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9"]


def plot(run: dict[str, Any], path: Optional[PathLike] = None, dpi: int = 100) -> Figure:
    """The plot page of a run, written to a PNG file when ``path`` is given.

    Left, over the years: spawning stock biomass; recruitment, observed as points and predicted
    as a line, in the recruits' own years (the report's lines shifted by one year); the three
    average F columns. Right: the index fits, observed points and predicted lines per used
    index, and below them their standardized residuals. Legends stand beside the panels, never
    over the data. A NaN is a gap; a summary written by ``scantelk --nan`` has NaN where the
    report lacked a value.
    """
    from matplotlib.figure import Figure

    figure = Figure(figsize=(10, 7.5), layout="constrained")
    grid = figure.add_gridspec(3, 2)
    ssb, recruits, f = (figure.add_subplot(grid[row, 0]) for row in range(3))
    fits, residuals = figure.add_subplot(grid[0:2, 1]), figure.add_subplot(grid[2, 1])
    years = run["years"]

    _line(ssb, years, run["ssb"], color=COLOURS[0])
    recruitment = run["recruitment"]
    recruits.plot(recruitment.columns, recruitment.loc["observed"], "o", color=COLOURS[0],
                  markersize=3, label="observed")
    _line(recruits, recruitment.columns, recruitment.loc["predicted"], color=COLOURS[1],
          label="predicted")
    for column, style in zip((1, 2, 3), ("-", "--", ":")):
        _line(f, years, run["average_f"].loc[column], linestyle=style, color=COLOURS[column - 1],
              label=f"column {column}")

    index_fit = run["index_fit"]
    for n, index in enumerate(index_fit.index.unique("index")):
        colour = COLOURS[n % len(COLOURS)]
        fits.plot(years, index_fit.loc[(index, "observed")], "o", color=colour, markersize=3)
        _line(fits, years, index_fit.loc[(index, "predicted")], color=colour,
              label=f"index {index}")
        residuals.plot(years, index_fit.loc[(index, "std_residual")], "o", color=colour,
                       markersize=3)
    residuals.axhline(0, color="grey", linewidth=0.8)

    for axes, title, label in [(ssb, "Spawning stock biomass", "SSB"),
                               (recruits, "Recruitment", "Recruits"), (f, "Average F", "F"),
                               (fits, "Index fits", "Index")]:
        _finish_panel(axes, title, label)
    _finish_panel(residuals, "Standardized residuals", "Residual", from_zero=False)
    return _save(figure, path, dpi)


def plot_compare(runs: Runs, path: Optional[PathLike] = None, f_column: int = 1,
                 dpi: int = 100) -> Figure:
    """Several runs over each other: spawning stock biomass, recruitment and the average F
    column ``f_column`` (1, 2 or 3), one line per run, with a legend beside the panels.

    Recruitment is the stock numbers at the first age, the recruits of each year, as in
    :func:`scantelk.retro` and the report page (a run without ages has none). ``runs`` is a
    dict of names to runs or summary paths, as for :func:`scantelk.compare`; names are shown
    as given (a ``$`` is a dollar sign).
    """
    from matplotlib.figure import Figure

    check_f_column(f_column)
    named = read_runs(runs)
    figure = Figure(figsize=(12, 4), layout="constrained")
    ssb, recruits, f = figure.subplots(1, 3)
    for k, (name, run) in enumerate(named.items()):
        style = {"color": COLOURS[k % len(COLOURS)], "label": literal(name)}
        _line(ssb, run["years"], run["ssb"], **style)
        recruitment = estimate(run, "recruitment", f_column)
        _line(recruits, recruitment.index, recruitment, **style)
        _line(f, run["years"], run["average_f"].loc[f_column], **style)
    _finish_panel(ssb, "Spawning stock biomass", "SSB", legend=False)
    _finish_panel(recruits, "Recruitment (first age)", "Recruits", legend=False)
    _finish_panel(f, f"Average F, column {f_column}", "F")
    return _save(figure, path, dpi)


def plot_retro(runs: Runs, path: Optional[PathLike] = None, f_column: int = 1,
               dpi: int = 100) -> Figure:
    """The retrospective plot: SSB, F and recruitment of a base run and its peels.

    The base is a solid black line; each peel has its own colour and ends in a point at its
    last year. Each panel's title gives the quantity's Mohn's rho with three decimals
    (NA where it is undefined); the legend beside the panels names the runs. ``runs`` and
    ``f_column`` are as for :func:`scantelk.retro`, whose errors this raises too; recruitment
    is the stock numbers at the first age.

    >>> from pathlib import Path
    >>> import scantelk
    >>> folder = Path(scantelk.__file__).parent / "data" / "retro"
    >>> runs = {name: folder / f"{name}.tmp" for name in ("base", "peel1", "peel2")}
    >>> figure = scantelk.plot_retro(runs)
    >>> [axes.get_title().splitlines()[1] for axes in figure.axes]
    ["Mohn's rho = -0.100", "Mohn's rho = 0.125", "Mohn's rho = 0.025"]
    """
    from matplotlib.figure import Figure

    named = read_runs(runs)
    table, base_name = analyse(named, f_column)
    rho = rho_of(table)
    order = [base_name] + list(dict.fromkeys(table["run"]))
    figure = Figure(figsize=(12, 4), layout="constrained")
    panels = figure.subplots(1, 3)
    titles = [("Spawning stock biomass", "SSB"), (f"Average F, column {f_column}", "F"),
              ("Recruitment (first age)", "Recruits")]
    for axes, quantity, (title, label) in zip(panels, QUANTITIES, titles):
        for k, name in enumerate(order):
            series = estimate(named[name], quantity, f_column)
            if k == 0:
                # Over the peels, which follow it until they part from it near their ends.
                _line(axes, series.index, series, color=COLOURS[0], linewidth=2,
                      label=literal(name), zorder=3)
                continue
            colour = COLOURS[1 + (k - 1) % (len(COLOURS) - 1)]
            _line(axes, series.index, series, color=colour, label=literal(name))
            axes.plot(series.index[-1:], series.iloc[-1:], "o", color=colour, zorder=4)
        _finish_panel(axes, f"{title}\nMohn's rho = {three_decimals(rho[quantity])}", label,
                      legend=quantity == QUANTITIES[-1])
    return _save(figure, path, dpi)


def three_decimals(value: float) -> str:
    """Mohn's rho as the plot and the report page show it: three decimals, or NA."""
    return "NA" if math.isnan(value) else f"{value:.3f}"


def literal(text: str) -> str:
    """`text` as matplotlib shows it literally: a ``$`` is a dollar sign, never math, and a tab,
    which it has no glyph for, a space."""
    return text.replace("$", r"\$").replace("\t", " ")


def _line(axes: Axes, x: Iterable, y: Iterable, **style: Any) -> None:
    """A line over the years; a single year, which a line cannot show, as a point."""
    x = list(x)
    axes.plot(x, list(y), marker="o" if len(x) == 1 else None, **style)


def _finish_panel(axes: Axes, title: str, label: str, from_zero: bool = True,
                  legend: bool = True) -> None:
    """Titles and labels; whole years on the x axis, and zero within the y axis if asked."""
    axes.set(title=title, ylabel=label)
    year_axis(axes)
    if from_zero:
        low, high = axes.get_ylim()
        axes.set_ylim(min(low, 0.0), max(high, 0.0))
    if legend and axes.get_legend_handles_labels()[0]:
        # Beside the panel, where it covers no data; the constrained layout makes room for it.
        axes.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), borderaxespad=0.0,
                    frameon=False, fontsize="small")


def year_axis(axes: Axes) -> None:
    """An x axis of whole years; a single year gets a year of room on either side, not 5 % of
    the year number."""
    from matplotlib.ticker import MaxNLocator

    axes.set_xlabel("Year")
    axes.xaxis.set_major_locator(MaxNLocator(nbins="auto", integer=True))
    first, last = axes.dataLim.intervalx
    if first == last:
        axes.set_xlim(first - 1, last + 1)


def _save(figure: Figure, path: Optional[PathLike], dpi: int) -> Figure:
    if path is not None:
        figure.savefig(path, dpi=dpi)
    return figure
