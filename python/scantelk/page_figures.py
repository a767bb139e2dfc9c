"""The figures of the report page, one list per section of the page.

Each section function returns a list of items: a `Drawn` figure with its caption, or an `Absent`
sentence saying why the run cannot have a figure, so that no figure is ever drawn empty.
"""
from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Any, Mapping, Union

import numpy as np
import pandas as pd
from matplotlib.axes import Axes
from matplotlib.figure import Figure
from matplotlib.lines import Line2D
from matplotlib.ticker import FuncFormatter, MaxNLocator

from scantelk.plot import COLOURS, _line, year_axis

Run = Mapping[str, Any]
# Figures are as wide as the page (WIDE, in inches) or as half of it, so that every figure is
# shown at the same scale and its text in the same size.
WIDE, HALF = 12.5, 6.1
ROW_HEIGHT = {1: 3.6, 2: 3.8, 3: 3.0}  # inches, by the number of panels in a row
POSITIVE, NEGATIVE = COLOURS[1], COLOURS[2]


@dataclass
class Drawn:
    figure: Figure
    caption: str

    @property
    def wide(self) -> bool:
        return self.figure.get_figwidth() > HALF


@dataclass
class Absent:
    sentence: str


Item = Union[Drawn, Absent]


def recruits_by_year(run: Run) -> pd.Series | None:
    """The recruits of each model year: the stock numbers at the first age (None without ages).

    Unlike the report's recruitment lines, this needs no shift by one year.
    """
    numbers = run["stock_numbers"]
    return numbers.iloc[0].rename("recruitment") if len(numbers) else None


def used_indices(run: Run) -> list[int]:
    return run["index_fit"].index.unique("index").tolist()


# Sections of one run.

def stock_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [_no_years()]
    years = run["years"]
    ssb, axes = _panels(1)
    _line(axes[0], years, run["ssb"], color=COLOURS[0])
    _label(axes[0], "Spawning stock biomass", "SSB")

    recruits, axes = _panels(1)
    recruitment = run["recruitment"]
    axes[0].plot(recruitment.columns, recruitment.loc["observed"], "o", color=COLOURS[0],
                 markersize=4, label="observed")
    _line(axes[0], recruitment.columns, recruitment.loc["predicted"], color=COLOURS[1],
          label="predicted")
    _label(axes[0], "Recruitment", "Recruits")
    items: list[Item] = [
        Drawn(ssb, "Spawning stock biomass by year."),
        Drawn(recruits, "Recruits, observed (points) and predicted (line), each shown in the "
                        "recruits' own year: the model reports on year y's row the recruits "
                        "of year y + 1."),
    ]
    if len(run["stock_numbers"]) == 0:
        items.append(Absent("The run has no ages, so it has no stock numbers at age."))
    else:
        items.append(Drawn(_bubbles(run["stock_numbers"]),
                           "Stock numbers at age by year: the area of each circle is "
                           "proportional to the number of fish."))
    return items


def fishing_items(run: Run, f_column: int) -> list[Item]:
    if not run["years"]:
        return [_no_years()]
    years = run["years"]
    f, axes = _panels(1)
    for column, style in zip((1, 2, 3), ("-", "--", ":")):
        _line(axes[0], years, run["average_f"].loc[column], linestyle=style,
              color=COLOURS[column - 1], label=f"F{column}")
    _label(axes[0], "Average F", "Average F")
    items: list[Item] = [Drawn(f, f"The three average fishing mortality columns of the run; "
                                  f"F{f_column} stands for the run in the tables.")]
    if run["dims"]["n_fleets"] == 0:
        items.append(Absent("The run has no fleets, so it has no catch or discard weights."))
        return items
    weights, axes = _panels(2)
    for axes_, key, title in zip(axes, ("catch_weight", "discard_weight"), ("Catch", "Discards")):
        for n, (fleet, values) in enumerate(run[key].iterrows()):
            _line(axes_, years, values, color=_colour(n), label=f"fleet {fleet}")
        _label(axes_, f"{title} by fleet", f"{title} weight")
    no_discards = not run["discard_weight"].to_numpy().any()
    items.append(Drawn(weights, "Catch and discard weight of each fleet by year."
                       + (" The run reports no discards: every value is zero."
                          if no_discards else "")))
    return items


def index_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [_no_years()]
    used = used_indices(run)
    if not used:
        return [Absent(_no_used_index(run))]
    return [_index_figure(run, index) for index in used]


def composition_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [_no_years()]
    items: list[Item] = []
    if run["dims"]["n_fleets"] == 0:
        items.append(Absent("The run has no fleets, so it has no catch or discard sample sizes."))
    else:
        for key, what in (("catch_ess", "Catch"), ("discard_ess", "Discards")):
            panels = [(f"{what}, fleet {fleet}", run[key].loc[fleet])
                      for fleet in run[key].index.unique("fleet")]
            items.append(_sample_size_figure(
                panels, f"{what}: the input sample size of each fleet's composition data (line) "
                        f"against the model's effective sample size (points), by year."))
    used = used_indices(run)
    if not used:
        items.append(Absent(_no_used_index(run)))
    else:
        panels = [(f"Index {index}", run["index_ess"].loc[index]) for index in used]
        items.append(_sample_size_figure(
            panels, "Survey indices: the input sample size of each used index (line) against "
                    "the model's effective sample size (points), by year."))
    return items


def biology_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [_no_years()]
    if run["dims"]["n_ages"] == 0:
        return [Absent("The run has no ages, so it has no natural mortality, maturity or "
                       "weights at age.")]
    tables = [("natural_mortality", "Natural mortality", "M"),
              ("maturity", "Maturity", "Proportion mature"),
              ("catch_weight_at_age", "Catch weight at age", "Weight"),
              ("ssb_weight_at_age", "Spawning stock weight at age", "Weight"),
              ("jan1_weight_at_age", "January-1 weight at age", "Weight")]
    figure, axes = _panels(6, columns=3)
    ages = run["natural_mortality"].index
    colours = _age_colours(len(ages))
    for axes_, (key, title, label) in zip(axes, tables):
        for age, colour in zip(ages, colours):
            _line(axes_, run["years"], run[key].loc[age], color=colour, linewidth=1.2)
        _label(axes_, title, label)
    _legend_panel(axes[5], [Line2D([], [], color=c, label=f"age {a}")
                            for a, c in zip(ages, colours)])
    return [Drawn(figure, "Natural mortality, maturity and the three weights at age, one line "
                          "per age, by year.")]


# The comparison of several runs.

def compare_items(runs: Mapping[str, Run], f_column: int) -> list[Item]:
    with_years = {name: run for name, run in runs.items() if run["years"]}
    if not with_years:
        return [Absent("None of the runs has a model year, so there is nothing to compare.")]
    figure, axes = _panels(3, columns=3)
    for n, (name, run) in enumerate(with_years.items()):
        style = {"color": _colour(n), "linestyle": ("-", "--", ":", "-.")[n // len(COLOURS) % 4],
                 "label": name}
        _line(axes[0], run["years"], run["ssb"], **style)
        recruits = recruits_by_year(run)
        if recruits is not None:
            _line(axes[1], run["years"], recruits, **style)
        _line(axes[2], run["years"], run["average_f"].loc[f_column], **style)
    _label(axes[0], "Spawning stock biomass", "SSB")
    _label(axes[1], "Recruitment", "Stock numbers at the first age", legend=False)
    _label(axes[2], f"Average F (column {f_column})", f"F{f_column}", legend=False)
    if len(with_years) == 1:
        axes[0].legend(frameon=False, fontsize="small")
    return [Drawn(figure, f"Spawning stock biomass, recruits (the stock numbers at the first age) "
                          f"and average F (column {f_column}) of each run, over each other.")]


# Building blocks.

def _panels(count: int, columns: int = 2) -> tuple[Figure, list[Axes]]:
    """A figure of `count` panels, at most `columns` to a row; one panel stands alone."""
    columns = min(count, columns)
    rows = math.ceil(count / columns)
    figure = Figure(figsize=(HALF if count == 1 else WIDE, ROW_HEIGHT[columns] * rows),
                    layout="constrained")
    return figure, list(figure.subplots(rows, columns, squeeze=False).ravel()[:count])


def _label(axes: Axes, title: str, quantity: str, zero: bool = True, legend: bool = True) -> None:
    """Title, axis labels, whole-year ticks, the value axis from zero (`zero`), and a legend when
    the panel holds more than one labelled line (`legend` False: another panel has it)."""
    axes.set(title=title, ylabel=quantity)
    year_axis(axes)
    data = axes.dataLim
    if zero and np.isfinite([data.y0, data.y1]).all():
        low, high = min(data.y0, 0.0), max(data.y1, 0.0)
        margin = 0.05 * (high - low) if high > low else 1.0
        axes.set_ylim(low - margin if low < 0 else 0.0, high + margin)
    if legend and len(axes.get_legend_handles_labels()[0]) > 1:
        axes.legend(frameon=False, fontsize="small")


def _legend_panel(axes: Axes, handles: list) -> None:
    axes.axis("off")
    axes.legend(handles=handles, loc="center", frameon=False,
                ncol=math.ceil(len(handles) / 12))


def _colour(n: int) -> str:
    return COLOURS[n % len(COLOURS)]


def _age_colours(count: int) -> list:
    """Ages are ordered, so their colours run along one scale, from dark (young) to light."""
    from matplotlib import colormaps

    scale = colormaps["viridis"]
    return [scale(0.85 * k / max(count - 1, 1)) for k in range(count)]


def _bubbles(numbers: pd.DataFrame) -> Figure:
    figure = Figure(figsize=(WIDE, min(max(3.0, 1.0 + 0.3 * len(numbers)), 10.0)),
                    layout="constrained")
    axes = figure.add_subplot()
    values = numbers.to_numpy(dtype=float)
    shown = np.isfinite(values) & (values > 0)
    largest = values[shown].max() if shown.any() else 1.0
    years, ages = np.meshgrid(numbers.columns, numbers.index)
    area = 250.0 / largest  # points squared per fish: the largest circle is 250 points squared
    circles = axes.scatter(years[shown], ages[shown], s=values[shown] * area,
                           color=COLOURS[1], alpha=0.6, edgecolors="none")
    axes.set(title="Stock numbers at age", ylabel="Age")
    year_axis(axes)
    if len(numbers) <= 20:
        axes.set_yticks(numbers.index)  # every age
    else:
        axes.yaxis.set_major_locator(MaxNLocator(integer=True))
    axes.set_ylim(numbers.index[-1] + 0.7, numbers.index[0] - 0.7)  # the oldest age at the foot
    if shown.any():
        handles, labels = circles.legend_elements(
            prop="sizes", num=4, func=lambda s: s / area, color=COLOURS[1], alpha=0.6,
            fmt=FuncFormatter(lambda value, _: f"{value:,.0f}" if value >= 10 else f"{value:g}"))
        axes.legend(handles, labels, title="Numbers", loc="center left",
                    bbox_to_anchor=(1.0, 0.5), frameon=False, fontsize="small")
    return figure


def _index_figure(run: Run, index: int) -> Drawn:
    fit = run["index_fit"].loc[index]
    # A year without a survey row holds zeros in all three lines; it has nothing to show.
    surveyed = fit.columns[(fit != 0).any(axis=0)]
    figure, (values, residuals) = _panels(2)
    values.plot(surveyed, fit.loc["observed", surveyed], "o", color=COLOURS[0], markersize=4,
                label="observed")
    _line(values, surveyed, fit.loc["predicted", surveyed], color=COLOURS[1],
          label="predicted")
    _label(values, f"Index {index}", "Index value")
    residual = fit.loc["std_residual", surveyed]
    residuals.axhline(0, color="grey", linewidth=0.8)
    for sign, colour, chosen in (("positive", POSITIVE, residual >= 0),
                                 ("negative", NEGATIVE, residual < 0)):
        residuals.plot(surveyed[chosen], residual[chosen], "o", color=colour, markersize=4,
                       label=sign)
    _label(residuals, f"Index {index}: residuals", "Standardized residual", zero=False)
    return Drawn(figure, f"Index {index}: observed values (points) and the model's prediction "
                         f"(line), and the standardized residuals, blue for positive and orange "
                         f"for negative ones; years without a survey value are left out.")


def _sample_size_figure(panels: list[tuple[str, pd.DataFrame]], caption: str) -> Drawn:
    figure, axes = _panels(len(panels), columns=3)
    for n, (axes_, (title, sizes)) in enumerate(zip(axes, panels)):
        years = sizes.columns
        _line(axes_, years, sizes.loc["input"], color=COLOURS[0], label="input")
        axes_.plot(years, sizes.loc["effective"], "o", color=COLOURS[1], markersize=3.5,
                   label="effective")
        _label(axes_, title, "Sample size", legend=n == 0)
    return Drawn(figure, caption)


def _no_years() -> Absent:
    return Absent("The run has no model years, so there is nothing to draw over the years.")


def _no_used_index(run: Run) -> str:
    count = run["dims"]["n_indices"]
    if count == 0:
        return "The run has no survey index, so it has no index fits or index sample sizes."
    return (f"None of the run's {count} survey indices is used (the use flag of each is 0), "
            f"so it has no index fits or index sample sizes.")
