"""The fits of a run drawn with matplotlib: catch, composition residuals and mean age."""
from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any, Optional, Union

import numpy as np
import pandas as pd

from scantelk.fits import composition_residuals, mean_age
from scantelk.plot import COLOURS, _finish_panel, _line, _save
from scantelk.reader import PathLike, read

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure

# The area in points squared of the largest bubble of a figure.
LARGEST_BUBBLE = 120.0
# The totals and proportions drawn on one row of panels, with the words of their titles.
KINDS = [("catch", "catch_proportions", "Catch"), ("discards", "discard_proportions", "Discards")]


def plot_fits(run: Union[dict[str, Any], PathLike], path: Optional[PathLike] = None,
              dpi: int = 100) -> Figure:
    """The fits of a run, one row of three panels per fleet, written to a PNG when ``path`` is
    given.

    Left: observed catch (points) against predicted (line). Middle: the Pearson residuals of
    the proportions at age (:func:`scantelk.composition_residuals`) as bubbles by year and
    age, their area proportional to the residual's size, filled where observed is above
    predicted and open where below, with a key of sizes. Right: observed (points) against
    predicted (line) mean age (:func:`scantelk.mean_age`). A fleet with non-zero discards
    gets a second row for them. ``run`` is a run read by :func:`scantelk.read` or a summary
    path; raises ValueError when it has no fits (convert it with ``scantelk --fits``).

    >>> from pathlib import Path
    >>> import scantelk
    >>> run = scantelk.read(Path(scantelk.__file__).parent / "data" / "tiny.tmp")
    >>> figure = scantelk.plot_fits(run)
    >>> [axes.get_title() for axes in figure.axes]
    ['Catch, fleet 1', 'Catch at age, Pearson residuals, fleet 1', 'Catch mean age, fleet 1']
    """
    from matplotlib.figure import Figure

    run = run if isinstance(run, dict) else read(run)
    residuals = {table: composition_residuals(run, table) for _, table, _ in KINDS}
    ages = {table: mean_age(run, table) for _, table, _ in KINDS}
    rows = [(fleet, kind) for fleet in _fleets(run) for kind in KINDS
            if kind[0] == "catch" or _has_discards(run["fits"], fleet)]
    largest = max([_largest(residuals[table]) for _, table, _ in KINDS])
    figure = Figure(figsize=(12, 3 * max(len(rows), 1)), layout="constrained")
    if not rows:
        figure.text(0.5, 0.5, "The run has no fleet.", ha="center")
        return _save(figure, path, dpi)
    fits = run["fits"]
    panels = figure.subplots(len(rows), 3, squeeze=False)
    for (totals_axes, bubble_axes, age_axes), (fleet, (totals, table, word)) in zip(panels, rows):
        of_fleet = {name: frame[frame["fleet"] == fleet] for name, frame in
                    [("totals", fits[fits["table"] == totals]), ("residuals", residuals[table]),
                     ("ages", ages[table])]}
        _observed_and_predicted(totals_axes, of_fleet["totals"], f"{word}, fleet {fleet}", word)
        _bubbles(bubble_axes, of_fleet["residuals"], largest,
                 f"{word} at age, Pearson residuals, fleet {fleet}")
        _observed_and_predicted(age_axes, of_fleet["ages"], f"{word} mean age, fleet {fleet}",
                                "Mean age", from_zero=False)
    return _save(figure, path, dpi)


def _fleets(run: dict[str, Any]) -> list[int]:
    return sorted(set(run["fits"]["fleet"]))


def _has_discards(fits: pd.DataFrame, fleet: int) -> bool:
    values = fits[(fits["table"] == "discards") & (fits["fleet"] == fleet)]
    return bool(np.any(values[["observed", "predicted"]].fillna(0).to_numpy() != 0))


def _largest(residuals: pd.DataFrame) -> float:
    sizes = residuals["residual"].abs()
    sizes = sizes[np.isfinite(sizes)]
    return float(sizes.max()) if len(sizes) else 0.0


def _observed_and_predicted(axes: Axes, table: pd.DataFrame, title: str, label: str,
                            from_zero: bool = True) -> None:
    axes.plot(table["year"], table["observed"], "o", color=COLOURS[0], markersize=3,
              label="observed")
    _line(axes, table["year"], table["predicted"], color=COLOURS[1], label="predicted")
    _finish_panel(axes, title, label, from_zero=from_zero)


def _bubbles(axes: Axes, residuals: pd.DataFrame, largest: float, title: str) -> None:
    from matplotlib.lines import Line2D

    scale = LARGEST_BUBBLE / largest if largest > 0 else 0.0
    finite = residuals[np.isfinite(residuals["residual"])]
    for positive, face in ((True, COLOURS[1]), (False, "none")):
        side = finite[(finite["residual"] > 0) == positive]
        axes.scatter(side["year"], side["age"], s=scale * side["residual"].abs(),
                     facecolors=face, edgecolors=COLOURS[1], linewidths=0.8)
    _finish_panel(axes, title, "Age", from_zero=False, legend=False)
    axes.set_ylim(0.5, max(residuals["age"].max() if len(residuals) else 1, 1) + 0.5)
    key = [Line2D([], [], marker="o", linestyle="", markerfacecolor=COLOURS[1] if k == 0
                  else "none", markeredgecolor=COLOURS[1], markersize=math.sqrt(scale * size),
                  label=f"{'+' if k == 0 else '-'}{size:g}")
           for size in _key_sizes(largest) for k in (0, 1)]
    if key:
        axes.legend(handles=key, loc="center left", bbox_to_anchor=(1.0, 0.5), frameon=False,
                    fontsize="small", ncol=2, title="residual", title_fontsize="small")


def _key_sizes(largest: float) -> list[float]:
    """Two round sizes at most as large as the largest residual: 1, 2 or 5 times a power of
    ten, and half of it."""
    if not largest > 0 or not math.isfinite(largest):
        return []
    power = 10.0 ** math.floor(math.log10(largest))
    top = max(step * power for step in (1, 2, 5) if step * power <= largest)
    return [top / 2, top]
