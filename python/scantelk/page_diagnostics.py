"""What a review panel reads first on the report page: the gaps in the data, stock against
recruitment, the survey index fits with their residuals, and the catch and composition fits.
"""
from __future__ import annotations

import html
import math
from pathlib import Path

import numpy as np
import pandas as pd
from matplotlib.ticker import FuncFormatter, LogLocator, NullFormatter

from scantelk.page_figures import (NEGATIVE, POSITIVE, Run, beside, label, no_used_index,
                                   no_years, over_the_years, panels, used_indices)
from scantelk.fits import fits_path
from scantelk.page_html import Absent, Drawn, Item, Note, Table, plain, table, year_ranges
from scantelk.plot import COLOURS, _line, three_decimals
from scantelk.plot_fits import plot_fits

# The per-year tables of a summary as the completeness box names them.
TABLE_NAMES = {
    "natural_mortality": "Natural mortality", "maturity": "Maturity",
    "catch_weight_at_age": "Catch weight at age",
    "ssb_weight_at_age": "Spawning stock weight at age",
    "jan1_weight_at_age": "January-1 weight at age", "catch_weight": "Catch weight by fleet",
    "discard_weight": "Discard weight by fleet", "catch_ess": "Catch sample sizes",
    "discard_ess": "Discard sample sizes", "index_fit": "Index fits",
    "index_ess": "Index sample sizes", "average_f": "Average F",
    "stock_numbers": "Stock numbers", "ssb": "SSB",
    "recruitment": "Observed and predicted recruitment (in the recruits' own years)",
}


def completeness(run: Run, summary: Path) -> str:
    """The box of what the run lacks, in words, for the top of the page; empty for a complete
    run. A plain summary writes a value the report lacked as zero, so an SSB or a whole year of
    stock numbers at exactly zero is named as possibly lacking too."""
    gaps = []
    for key, name in TABLE_NAMES.items():
        values = run[key]
        frame = values.to_frame().T if isinstance(values, pd.Series) else values
        missing = frame.columns[frame.isna().any(axis=0)]
        if len(missing):
            gaps.append(f"{name}: {year_ranges(missing)} missing")
    zeros = []
    ssb_zero = run["ssb"].index[run["ssb"] == 0]
    if len(ssb_zero):
        zeros.append(f"SSB is exactly zero in {year_ranges(ssb_zero)}")
    numbers = run["stock_numbers"]
    if len(numbers):
        all_zero = numbers.columns[(numbers == 0).all(axis=0)]
        if len(all_zero):
            zeros.append(f"every stock number is exactly zero in {year_ranges(all_zero)}")
    if not gaps and not zeros:
        return ""
    parts = ['<div id="completeness" role="note">']
    if gaps:
        parts.append("<p><strong>Values missing.</strong> The summary holds NaN, a value the "
                     "model's report lacked, in these tables (years as each table counts "
                     "them):</p>\n<ul>" + "".join(f"<li>{html.escape(gap)}</li>" for gap in gaps)
                     + "</ul>")
    if zeros:
        command = f"scantelk --warn --nan {summary.with_suffix('.dat')}"
        parts.append(f"<p><strong>Zeros that may be missing values.</strong> "
                     f"{html.escape('; '.join(zeros))}. A summary written without "
                     f"<code>--nan</code> has zeros where the report lacked values; "
                     f"<code>{html.escape(plain(command))}"
                     f"</code> names what the report lacked and writes it as NaN.</p>")
    return "\n".join(parts) + "\n</div>"


def stock_recruitment_items(run: Run) -> list[Item]:
    """SSB of year y against the report's recruits of year y + 1."""
    if not run["years"]:
        return [no_years()]
    ssb = run["ssb"]
    recruits = run["recruitment"].T.set_axis(ssb.index, axis=0)  # recruits of y + 1 on year y
    pairs = pd.concat([ssb.rename("ssb"), recruits], axis=1)
    pairs = pairs[pairs["ssb"].notna() & pairs[["observed", "predicted"]].notna().any(axis=1)]
    if pairs.empty or not pairs.to_numpy(dtype=float)[~pairs.isna().to_numpy()].any():
        return [Absent("The run has no pair of SSB and recruits with a value, so there is no "
                       "stock-recruitment plot.")]
    figure, (axes,) = panels(1)
    axes.plot(pairs["ssb"], pairs["predicted"], "s", color=COLOURS[1], markersize=4,
              label="predicted")
    axes.plot(pairs["ssb"], pairs["observed"], "o", color=COLOURS[0], markersize=4,
              label="observed")
    first, last = pairs.index[0], pairs.index[-1]
    for year, row in pairs.iterrows():
        y = row["observed"] if not math.isnan(row["observed"]) else row["predicted"]
        if year in (first, last) or year % 5 == 0:
            axes.annotate(str(year), (row["ssb"], y), xytext=(3, 3), textcoords="offset points",
                          fontsize="x-small", color="#444")
    axes.set_xlabel("Spawning stock biomass in year y")
    label(axes, None, "Stock and recruitment", "Recruits in year y + 1")
    high = np.nanmax(pairs["ssb"])
    axes.set_xlim(min(0.0, np.nanmin(pairs["ssb"])), high * 1.08 if high > 0 else 1.0)
    return [Drawn(figure, "The spawning stock biomass of each year y against the recruits of "
                          "year y + 1 that the model's report gives: observed (circles) and "
                          "predicted (squares); points are labelled with their SSB year where "
                          "that is the first, the last or a multiple of 5.")]


def index_items(run: Run) -> list[Item]:
    if not run["years"]:
        return [no_years()]
    used = used_indices(run)
    if not used:
        return [Absent(no_used_index(run))]
    return [*(_index_figure(run, index) for index in used), _residual_table(run, used)]


def years_with_value(fit: pd.DataFrame) -> pd.Index:
    """The years of an index with an observed value: neither NaN nor exactly zero, since a
    summary written without --nan has zeros in a survey's missing years."""
    observed = fit.loc["observed"]
    return fit.columns[observed.notna() & (observed != 0)]


def _index_figure(run: Run, index: int) -> Item:
    fit = run["index_fit"].loc[index]
    surveyed = years_with_value(fit)
    if not len(surveyed):
        return Absent(f"Index {index} has no observed value in any year.")
    observed, predicted = fit.loc["observed", surveyed], fit.loc["predicted", surveyed]
    logarithmic = bool((observed > 0).all() and (predicted.dropna() > 0).all())
    figure, (values, residuals) = panels(2)
    values.plot(surveyed, observed, "o", color=COLOURS[0], markersize=4, label="observed")
    _line(values, surveyed, predicted, color=COLOURS[1], label="predicted")
    label(values, run["years"], f"Index {index}", "Index value", zero=not logarithmic)
    if logarithmic:
        values.set_yscale("log")
        values.yaxis.set_major_locator(LogLocator(subs=(1.0, 2.0, 3.0, 5.0)))
        values.yaxis.set_major_formatter(FuncFormatter(lambda value, _: f"{value:g}"))
        values.yaxis.set_minor_formatter(NullFormatter())
    residual = fit.loc["std_residual", surveyed]
    residuals.axhline(0, color="grey", linewidth=0.8)
    for sign, colour, chosen in (("positive", POSITIVE, residual >= 0),
                                 ("negative", NEGATIVE, residual < 0)):
        residuals.plot(surveyed[chosen], residual[chosen], "o", color=colour, markersize=4,
                       label=sign)
    label(residuals, run["years"], f"Index {index}: residuals", "Standardized residual",
          zero=False, legend=False)
    beside(residuals)
    scale = ("a logarithmic axis" if logarithmic else
             "a linear axis, since some values are not positive")
    return Drawn(figure, f"Index {index}: observed values (points) and the model's prediction "
                         f"(line) on {scale}, and the standardized residuals, blue for positive "
                         f"and orange for negative ones; years without a survey value are left "
                         f"out.")


def _residual_table(run: Run, used: list[int]) -> Table:
    rows = []
    for index in used:
        fit = run["index_fit"].loc[index]
        residual = fit.loc["std_residual", years_with_value(fit)].to_numpy(dtype=float)
        residual = residual[~np.isnan(residual)]
        mean = float(residual.mean()) if len(residual) else math.nan
        rms = math.sqrt((residual ** 2).mean()) if len(residual) else math.nan
        rows.append([f"Index {index}", str(len(years_with_value(fit))), three_decimals(mean),
                     three_decimals(rms)])
    frame = pd.DataFrame(rows, columns=["Index", "Years with a value", "Mean residual",
                                        "Root mean square"])
    return table("index-residuals", "Standardized residuals of each used index, over its years "
                                    "with a value", frame, text_columns=1)


def fits_items(run: Run, summary: Path) -> list[Item]:
    """The catch and composition fits, when the fits CSV stands beside the summary."""
    if "fits" not in run:
        return [Note(f"The catch and composition fits are shown here when the run is converted "
                     f"with scantelk --fits, which writes {plain(fits_path(summary))} beside "
                     f"the summary.")]
    return [Drawn(over_the_years(plot_fits(dict(run)), run["years"]),
                  "Per fleet: observed catch (points) against the model's prediction (line); the "
                  "Pearson residuals of the proportions at age as bubbles, their area "
                  "proportional to the residual's size, filled where the observed proportion "
                  "is above the predicted one and open where below; observed (points) against "
                  "predicted (line) mean age. Discards are drawn only for a fleet that has "
                  "them.")]
