"""The fan chart of an ensemble: the median and the central bands of SSB, recruitment and F."""
from __future__ import annotations

from typing import TYPE_CHECKING, Optional, Sequence

import pandas as pd

from scantelk.ensembles import (PROBS, QUANTITIES, Ensemble, ensemble_table, quantiles,
                                quantity_rows)
from scantelk.plot import COLOURS, literal, year_axis
from scantelk.reader import PathLike

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure

BAND_COLOUR = COLOURS[1]


def plot_ensemble(x: Ensemble, base: Optional[str] = None, probs: Sequence[float] = PROBS,
                  f_column: int = 1, path: Optional[PathLike] = None, dpi: int = 100) -> Figure:
    """The fan chart of an ensemble: one panel each for SSB, recruitment (the stock numbers at
    the first age) and the average F column ``f_column``.

    The median is a line; each pair of probabilities p and 1 - p of ``probs`` shades a band,
    by default the central 50 % and 90 % of the runs. ``base`` names one run of ``x`` that is
    drawn as a line of its own, such as the assessment the ensemble perturbs, its name shown as
    given (a ``$`` is a dollar sign). The legend names the median, the bands and the base, never
    each run, and stands beside the panels, off the data. ``x`` is as for
    :func:`scantelk.quantiles`. Returns the Figure, and writes it as a PNG when given ``path``.
    """
    from matplotlib.figure import Figure

    long = ensemble_table(x)
    if base is not None and base not in set(long["run"].astype(str)):
        raise ValueError(f'base "{base}" is not a run of the ensemble')
    table = quantiles(long, probs, f_column)
    figure = Figure(figsize=(13, 4), layout="constrained")
    panels = figure.subplots(1, len(QUANTITIES))
    titles = {"ssb": ("Spawning stock biomass", "SSB"),
              "recruitment": ("Recruitment (first age)", "Recruits"),
              "f": (f"Average F, column {f_column}", "F")}
    for axes, quantity in zip(panels, QUANTITIES):
        _fan(axes, table[table["quantity"] == quantity])
        if base is not None:
            _base_line(axes, long, base, quantity, f_column)
        axes.set(title=titles[quantity][0], ylabel=titles[quantity][1])
        year_axis(axes)
        low, high = axes.get_ylim()
        axes.set_ylim(min(low, 0.0), high)
    handles, labels = panels[-1].get_legend_handles_labels()
    panels[-1].legend(handles, labels, loc="upper left", bbox_to_anchor=(1.02, 1.0),
                      frameon=False, fontsize="small")
    if path is not None:
        figure.savefig(path, dpi=dpi)
    return figure


def _fan(axes: Axes, table: pd.DataFrame) -> None:
    """The bands, widest and palest first, and the median over them."""
    by_prob = table.pivot(index="year", columns="prob", values="value")
    years = by_prob.index.to_numpy()
    # Each p below one half with its 1 - p, as written (1 - 0.05 is not the double 0.95).
    pairs = sorted((p, q) for p in by_prob.columns for q in by_prob.columns
                   if p < 0.5 and abs(p + q - 1) < 1e-9)
    for k, (p, q) in enumerate(pairs):
        axes.fill_between(years, by_prob[p], by_prob[q], color=BAND_COLOUR, linewidth=0,
                          alpha=0.2 + 0.25 * k / max(len(pairs) - 1, 1),
                          label=f"{round(100 * (q - p))} %")
    if 0.5 in by_prob.columns:
        axes.plot(years, by_prob[0.5], color=BAND_COLOUR, linewidth=2, label="median",
                  marker="o" if len(years) == 1 else None)


def _base_line(axes: Axes, long: pd.DataFrame, base: str, quantity: str, f_column: int) -> None:
    chosen = long[(long["run"] == base) & quantity_rows(long, quantity, f_column)]
    years = chosen["year"].to_numpy()
    axes.plot(years, chosen["value"].to_numpy(dtype=float), color=COLOURS[0], linewidth=1.5,
              label=literal(base), marker="o" if len(years) == 1 else None, zorder=3)
