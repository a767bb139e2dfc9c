"""The figures of one run on the report page: stock, fishing, composition sample sizes, biology.

Each section function returns a list of items: a `Drawn` figure with its caption, or an `Absent`
sentence saying why the run cannot have a figure, so that no figure is ever drawn empty: a
series without any value, or zero throughout, is a sentence too.
"""
from __future__ import annotations

import math
from typing import Any, Mapping, Optional, Sequence

import numpy as np
import pandas as pd
from matplotlib.axes import Axes
from matplotlib.figure import Figure
from matplotlib.lines import Line2D
from matplotlib.ticker import FixedLocator, FuncFormatter, MaxNLocator, NullLocator

from scantelk.page_html import HALF, WIDE, Absent, Drawn, Item
from scantelk.plot import COLOURS, _line

Run = Mapping[str, Any]
ROW_HEIGHT = {1: 3.6, 2: 3.8, 3: 3.0}  # inches, by the number of panels in a row
POSITIVE, NEGATIVE = COLOURS[1], COLOURS[2]
_THOUSANDS = FuncFormatter(lambda value, _: f"{value:,.0f}" if abs(value) < 1e9 else f"{value:.3g}")
_YEAR_STEPS = (1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000)


def recruits_by_year(run: Run) -> Optional[pd.Series]:
    """The recruits of each model year: the stock numbers at the first age (None without ages).

    Unlike the report's recruitment lines, this needs no shift by one year.
    """
    numbers = run["stock_numbers"]
    return numbers.iloc[0].rename("recruitment") if len(numbers) else None


def used_indices(run: Run) -> list[int]:
    return run["index_fit"].index.unique("index").tolist()


def lacking(values: Any, what: str) -> Optional[Absent]:
    """The sentence that stands for a series without any value, or zero throughout (None when
    the series has something to draw)."""
    array = np.asarray(values, dtype=float)
    if np.isnan(array).all():
        return Absent(f"The run has no value of {what}: the summary holds NaN in every year.")
    if not array[~np.isnan(array)].any():
        return Absent("The run reports no discards." if what == "discards" else
                      f"The run reports no {what}: every value is zero.")
    return None


# Sections of one run.

def stock_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [no_years()]
    items: list[Item] = [lacking(run["ssb"], "spawning stock biomass") or _ssb_figure(run)]
    recruits = recruits_by_year(run)
    if recruits is None:
        return items + [Absent("The run has no ages, so it has no recruitment or stock numbers "
                               "at age.")]
    items.append(lacking(recruits, "recruitment") or _recruitment_figure(run, recruits))
    numbers = run["stock_numbers"]
    items.append(lacking(numbers, "stock numbers at age")
                 or Drawn(_bubbles(numbers, run["years"]),
                          "Stock numbers at age by year: the area of each circle is "
                          "proportional to the number of fish."))
    return items


def fishing_items(run: Run, f_column: int) -> list[Item]:
    if not run["years"]:
        return [no_years()]
    items: list[Item] = [lacking(run["average_f"], "average F")
                         or _average_f_figure(run, f_column)]
    if run["dims"]["n_fleets"] == 0:
        return items + [Absent("The run has no fleets, so it has no catch or discard weights.")]
    for key, title in (("catch_weight", "Catch"), ("discard_weight", "Discards")):
        items.append(lacking(run[key], title.lower()) or _by_fleet_figure(run, key, title))
    return items


def _ssb_figure(run: Run) -> Drawn:
    figure, axes = panels(1)
    _line(axes[0], run["years"], run["ssb"], color=COLOURS[0])
    label(axes[0], run["years"], "Spawning stock biomass", "SSB")
    return Drawn(figure, "Spawning stock biomass by year.")


def _recruitment_figure(run: Run, recruits: pd.Series) -> Drawn:
    figure, axes = panels(1)
    _line(axes[0], run["years"], recruits, color=COLOURS[1])
    label(axes[0], run["years"], "Recruitment", "Stock numbers at the first age")
    return Drawn(figure, "Recruitment: the stock numbers at the first age, by year.")


def _average_f_figure(run: Run, f_column: int) -> Drawn:
    figure, axes = panels(1)
    for column, style in zip((1, 2, 3), ("-", "--", ":")):
        _line(axes[0], run["years"], run["average_f"].loc[column], linestyle=style,
              color=COLOURS[column - 1], label=f"F{column}")
    label(axes[0], run["years"], "Average F", "Average F")
    return Drawn(figure, f"The three average fishing mortality columns of the run; "
                         f"F{f_column} stands for the run in the tables.")


def _by_fleet_figure(run: Run, key: str, title: str) -> Drawn:
    figure, axes = panels(1)
    for n, (fleet, values) in enumerate(run[key].iterrows()):
        _line(axes[0], run["years"], values, color=colour(n), label=f"fleet {fleet}")
    label(axes[0], run["years"], f"{title} by fleet", f"{title} weight")
    return Drawn(figure, f"{title} weight of each fleet by year.")


def composition_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [no_years()]
    items: list[Item] = []
    if run["dims"]["n_fleets"] == 0:
        items.append(Absent("The run has no fleets, so it has no catch or discard sample sizes."))
    else:
        for key, what in (("catch_ess", "Catch"), ("discard_ess", "Discards")):
            items.append(lacking(run[key], f"{what.lower()} sample sizes") or _sample_sizes(
                run, [(f"{what}, fleet {fleet}", run[key].loc[fleet])
                      for fleet in run[key].index.unique("fleet")],
                f"{what}: the input sample size of each fleet's composition data (line) "
                f"against the model's effective sample size (points), by year."))
    used = used_indices(run)
    if not used:
        items.append(Absent(no_used_index(run)))
    else:
        items.append(lacking(run["index_ess"], "index sample sizes") or _sample_sizes(
            run, [(f"Index {index}", run["index_ess"].loc[index]) for index in used],
            "Survey indices: the input sample size of each used index (line) against the "
            "model's effective sample size (points), by year."))
    return items


def biology_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [no_years()]
    if run["dims"]["n_ages"] == 0:
        return [Absent("The run has no ages, so it has no natural mortality, maturity or "
                       "weights at age.")]
    tables = [("natural_mortality", "Natural mortality", "M"),
              ("maturity", "Maturity", "Proportion mature"),
              ("catch_weight_at_age", "Catch weight at age", "Weight"),
              ("ssb_weight_at_age", "Spawning stock weight at age", "Weight"),
              ("jan1_weight_at_age", "January-1 weight at age", "Weight")]
    figure, axes = panels(6, columns=3)
    ages = run["natural_mortality"].index
    colours = _age_colours(len(ages))
    for axes_, (key, title, quantity) in zip(axes, tables):
        for age, colour_ in zip(ages, colours):
            _line(axes_, run["years"], run[key].loc[age], color=colour_, linewidth=1.2)
        label(axes_, run["years"], title, quantity)
    axes[5].axis("off")
    axes[5].legend(handles=[Line2D([], [], color=c, label=f"age {a}")
                            for a, c in zip(ages, colours)],
                   loc="center", frameon=False, ncol=math.ceil(len(ages) / 12))
    return [Drawn(figure, "Natural mortality, maturity and the three weights at age, one line "
                          "per age, by year.")]


# Building blocks.

def panels(count: int, columns: int = 2) -> tuple[Figure, list[Axes]]:
    """A figure of `count` panels, at most `columns` to a row; one panel stands alone."""
    columns = min(count, columns)
    rows = math.ceil(count / columns)
    figure = Figure(figsize=(HALF if count == 1 else WIDE, ROW_HEIGHT[columns] * rows),
                    layout="constrained")
    # Room at the edges for a legend beside a panel, whose text a browser may set a little wider.
    figure.get_layout_engine().set(w_pad=8 / 72)
    axes = figure.subplots(rows, columns, squeeze=False).ravel()
    for unused in axes[count:]:
        unused.remove()
    return figure, list(axes[:count])


def label(axes: Axes, years: Optional[Sequence[int]], title: str, quantity: str,
          zero: bool = True, legend: bool = True) -> None:
    """Title, axis labels, the run's years with whole-year ticks (`years` None: no year axis),
    the value axis from zero (`zero`), and a legend beside the panel when it holds more than
    one labelled line (`legend` False: another panel has it)."""
    axes.set(title=title, ylabel=quantity)
    if years is not None:
        year_axis(axes, years)
    data = axes.dataLim
    if zero and np.isfinite([data.y0, data.y1]).all():
        low, high = min(data.y0, 0.0), max(data.y1, 0.0)
        margin = 0.05 * (high - low) if high > low else 1.0
        axes.set_ylim(low - margin if low < 0 else 0.0, high + margin)
    _whole_numbers(axes)
    if legend and len(axes.get_legend_handles_labels()[0]) > 1:
        beside(axes)


def over_the_years(figure: Figure, years: Sequence[int]) -> Figure:
    """A figure drawn by a reader's function, its panels over the years given the page's year
    ticks and numbers; each keeps its own margins where they are wider (a bubble at the first
    or the last year stays whole)."""
    for axes in figure.axes:
        if years:
            low, high = axes.get_xlim()
            year_axis(axes, years)
            axes.set_xlim(min(low, axes.get_xlim()[0]), max(high, axes.get_xlim()[1]))
        _whole_numbers(axes)
    return figure


def _whole_numbers(axes: Axes) -> None:
    """Large values in full, with thousands separators, rather than with an offset ("1e6")."""
    low, high = axes.dataLim.y0, axes.dataLim.y1
    if axes.get_yscale() == "linear" and np.isfinite([low, high]).all() \
            and max(abs(low), abs(high)) >= 1e4:
        axes.yaxis.set_major_formatter(_THOUSANDS)


def beside(axes: Axes, *handles_labels: list, **options: Any) -> None:
    """The panel's legend outside it, to its right, where it covers nothing."""
    axes.legend(*handles_labels, loc="upper left", bbox_to_anchor=(1.01, 1.0),
                borderaxespad=0.0, frameon=False, fontsize="small", **options)


def year_axis(axes: Axes, years: Sequence[int]) -> None:
    """The x axis spans the run's years, whatever the panel's data covers, with the same whole
    years as ticks in every panel: multiples of 1, 2, 5, 10, ..., at most six of them, which
    the narrowest panel (a third of the page) holds."""
    first, last = years[0], years[-1]
    step = next((s for s in _YEAR_STEPS if (last // s - math.ceil(first / s)) < 6), 2000)
    axes.set_xlabel("Year")
    axes.xaxis.set_major_locator(FixedLocator(range(math.ceil(first / step) * step, last + 1,
                                                    step)))
    axes.xaxis.set_minor_locator(NullLocator())
    margin = 1.0 if first == last else 0.5
    axes.set_xlim(first - margin, last + margin)


def colour(n: int) -> str:
    return COLOURS[n % len(COLOURS)]


def _age_colours(count: int) -> list:
    """Ages are ordered, so their colours run along one scale, from dark (young) to light."""
    from matplotlib import colormaps

    scale = colormaps["viridis"]
    return [scale(0.85 * k / max(count - 1, 1)) for k in range(count)]


def _bubbles(numbers: pd.DataFrame, years: Sequence[int]) -> Figure:
    figure = Figure(figsize=(WIDE, min(max(3.0, 1.0 + 0.3 * len(numbers)), 10.0)),
                    layout="constrained")
    axes = figure.add_subplot()
    values = numbers.to_numpy(dtype=float)
    shown = np.isfinite(values) & (values > 0)
    largest = values[shown].max() if shown.any() else 1.0
    grid_years, ages = np.meshgrid(numbers.columns, numbers.index)
    area = 250.0 / largest  # points squared per fish: the largest circle is 250 points squared
    circles = axes.scatter(grid_years[shown], ages[shown], s=values[shown] * area,
                           color=COLOURS[1], alpha=0.6, edgecolors="none")
    axes.set(title="Stock numbers at age", ylabel="Age")
    year_axis(axes, years)
    if len(numbers) <= 20:
        axes.set_yticks(numbers.index)  # every age
    else:
        axes.yaxis.set_major_locator(MaxNLocator(integer=True))
    axes.set_ylim(numbers.index[-1] + 0.7, numbers.index[0] - 0.7)  # the oldest age at the foot
    handles, labels = circles.legend_elements(
        prop="sizes", num=4, func=lambda s: s / area, color=COLOURS[1], alpha=0.6,
        fmt=FuncFormatter(lambda value, _: f"{value:,.0f}" if value >= 10 else f"{value:g}"))
    axes.legend(handles, labels, title="Numbers", loc="center left", bbox_to_anchor=(1.0, 0.5),
                frameon=False, fontsize="small")
    return figure


def _sample_sizes(run: Run, series: list[tuple[str, pd.DataFrame]], caption: str) -> Drawn:
    figure, axes = panels(len(series), columns=3)
    for n, (axes_, (title, sizes)) in enumerate(zip(axes, series)):
        years = sizes.columns
        _line(axes_, years, sizes.loc["input"], color=COLOURS[0], label="input")
        axes_.plot(years, sizes.loc["effective"], "o", color=COLOURS[1], markersize=3.5,
                   label="effective")
        label(axes_, run["years"], title, "Sample size", legend=False)
    beside(axes[min(len(axes), 3) - 1], *axes[0].get_legend_handles_labels())
    return Drawn(figure, caption)


def no_years() -> Absent:
    return Absent("The run has no model years, so there is nothing to draw over the years.")


def no_used_index(run: Run) -> str:
    count = run["dims"]["n_indices"]
    if count == 0:
        return "The run has no survey index, so it has no index fits or index sample sizes."
    return (f"None of the run's {count} survey indices is used (the use flag of each is 0), "
            f"so it has no index fits or index sample sizes.")
