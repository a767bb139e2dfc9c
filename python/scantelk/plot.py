"""The standard plots of a run, drawn with matplotlib, which only this module needs."""
from __future__ import annotations

from typing import Any

from scantelk.reader import PathLike

# Colours that stay apart for readers with colour vision deficiency (Okabe and Ito).
COLOURS = ["#000000", "#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9"]


def plot(run: dict[str, Any], path: PathLike, dpi: int = 100) -> None:
    """Writes the plot page of a run to a PNG file.

    Left, over the years: spawning stock biomass; recruitment, observed as points and predicted
    as a line; the three average F columns. Right: the index fits, observed points and
    predicted lines per used index, and below them their standardized residuals. A NaN is a
    gap; a summary written by ``scantelk --nan`` has NaN where the report lacked a value.
    """
    from matplotlib.figure import Figure

    figure = Figure(figsize=(10, 7.5), layout="constrained")
    grid = figure.add_gridspec(3, 2)
    ssb, recruits, f = (figure.add_subplot(grid[row, 0]) for row in range(3))
    fits, residuals = figure.add_subplot(grid[0:2, 1]), figure.add_subplot(grid[2, 1])
    years = run["years"]

    ssb.plot(years, run["ssb"], color=COLOURS[0])
    recruitment = run["recruitment"]
    recruits.plot(recruitment.columns, recruitment.loc["observed"], "o", color=COLOURS[0],
                  markersize=3, label="observed")
    recruits.plot(recruitment.columns, recruitment.loc["predicted"], color=COLOURS[1],
                  label="predicted")
    for column, style in zip((1, 2, 3), ("-", "--", ":")):
        f.plot(years, run["average_f"].loc[column], style, color=COLOURS[column - 1],
               label=f"column {column}")

    index_fit = run["index_fit"]
    for n, index in enumerate(index_fit.index.unique("index")):
        colour = COLOURS[n % len(COLOURS)]
        fits.plot(years, index_fit.loc[(index, "observed")], "o", color=colour, markersize=3)
        fits.plot(years, index_fit.loc[(index, "predicted")], color=colour, label=f"index {index}")
        residuals.plot(years, index_fit.loc[(index, "std_residual")], "o", color=colour,
                       markersize=3)
    residuals.axhline(0, color="grey", linewidth=0.8)

    titles = [(ssb, "Spawning stock biomass", "SSB"), (recruits, "Recruitment", "Recruits"),
              (f, "Average F", "F"), (fits, "Index fits", "Index"),
              (residuals, "Standardized residuals", "Residual")]
    for axes, title, label in titles:
        axes.set(title=title, xlabel="Year", ylabel=label)
        if axes is not residuals:
            low, high = axes.get_ylim()
            axes.set_ylim(min(low, 0.0), max(high, 0.0))
        if axes.get_legend_handles_labels()[0]:
            axes.legend(frameon=False, fontsize="small")
    figure.savefig(path, dpi=dpi)
