"""The sections of the report page that set several runs side by side: the comparison of a few
runs, the ensemble of many, and the retrospective analysis of a base run and its peels.
"""
from __future__ import annotations

from typing import Any, Mapping, Sequence, cast

import pandas as pd

from scantelk.ensembles import PROBS, quantiles
from scantelk.page_figures import (Run, beside, colour, label, over_the_years, panels,
                                   recruits_by_year)
from scantelk.page_html import Absent, Block, Drawn, Item, Note, Table, table
from scantelk.long_form import Runs
from scantelk.plot import COLOURS, _line, literal, plot_retro, three_decimals
from scantelk.plot_ensemble import plot_ensemble
from scantelk.retrospective import mohns_rho, retro

RECRUITMENT = "recruitment is the stock numbers at the first age, the recruits of that year"
# More runs than this are an ensemble: their spread is drawn, not a line each.
MOST_RUNS_COMPARED = 12


def compare_items(runs: Mapping[str, Run], f_column: int) -> list[Item]:
    """SSB, recruitment and average F of each run over each other, and each run's values in
    its own last year."""
    with_years = {name: run for name, run in runs.items() if run["years"]}
    if not with_years:
        return [Absent("None of the runs has a model year, so there is nothing to compare.")]
    years = _span(with_years)
    figure, axes = panels(3, columns=3)
    for n, (name, run) in enumerate(with_years.items()):
        style = {"color": colour(n), "linestyle": ("-", "--", ":", "-.")[n // len(COLOURS) % 4],
                 "label": literal(name)}
        _line(axes[0], run["years"], run["ssb"], **style)
        recruits = recruits_by_year(run)
        if recruits is not None:
            _line(axes[1], run["years"], recruits, **style)
        _line(axes[2], run["years"], run["average_f"].loc[f_column], **style)
    label(axes[0], years, "Spawning stock biomass", "SSB", legend=False)
    label(axes[1], years, "Recruitment", "Stock numbers at the first age", legend=False)
    label(axes[2], years, f"Average F (column {f_column})", f"F{f_column}", legend=False)
    beside(axes[2], *axes[0].get_legend_handles_labels())
    last = pd.DataFrame([[name, *_last_year_values(run, f_column)] for name, run in runs.items()],
                        columns=["Run", "Last year", "SSB", "Recruitment", f"F{f_column}"])
    return [Drawn(figure, f"Spawning stock biomass, recruitment (the stock numbers at the first "
                          f"age) and average F (column {f_column}) of each run, over each "
                          f"other."),
            table("last-year", f"Each run's values in its own last year (F: column {f_column}).",
                  last, text_columns=1)]


def ensemble_items(runs: Mapping[str, Run], f_column: int, run_list: Table) -> list[Item]:
    """The fan charts of the runs, the quantiles of their last common year, and the list of the
    runs folded away."""
    with_years = {name: run for name, run in runs.items() if run["years"]}
    if not with_years:
        return [Absent("None of the runs has a model year, so there is no ensemble to draw.")]
    ensemble = cast(Runs, with_years)
    items: list[Item] = [
        Note(f"The {len(runs)} runs are drawn as an ensemble: per year, the median over the runs "
             f"(line) and the bands that hold their central 50 % and 90 %. A run without a "
             f"value in a year is left out of that year. F is the average-F column "
             f"{f_column}; {RECRUITMENT}."),
        Drawn(over_the_years(plot_ensemble(ensemble, f_column=f_column), _span(with_years)),
              "Spawning stock biomass, recruitment and average F over the runs: the median "
              "(line) and the central 50 % and 90 % of the runs (bands)."),
    ]
    first = max(run["years"][0] for run in with_years.values())
    last = min(run["years"][-1] for run in with_years.values())
    if first <= last:
        items.append(_quantile_table(quantiles(ensemble, PROBS, f_column), last, f_column))
    else:
        items.append(Note("The runs have no year in common, so there is no table of their "
                          "quantiles."))
    items.append(Block(f"<details><summary>The {len(runs)} runs</summary>\n{run_list.html}\n"
                       f"</details>"))
    return items


def _quantile_table(table_: pd.DataFrame, year: int, f_column: int) -> Table:
    """The quantiles of each quantity in `year`, one row per quantity."""
    names = {"ssb": "SSB", "recruitment": "Recruitment", "f": f"F{f_column}"}
    in_year = table_[table_["year"] == year]
    rows = []
    for quantity, name in names.items():
        of_quantity = in_year[in_year["quantity"] == quantity]
        rows.append([name, *of_quantity["value"].tolist(),
                     str(int(of_quantity["n_runs"].iloc[0])) if len(of_quantity) else "0"])
    columns = ["Quantity", *(f"{100 * prob:g} %" for prob in PROBS), "Runs with a value"]
    return table("ensemble-quantiles", f"Quantiles over the runs in {year}, the last year all "
                                       f"runs hold", pd.DataFrame(rows, columns=columns),
                 text_columns=1)


def retro_items(runs: Mapping[str, Run], f_column: int) -> list[Item]:
    peels = retro(cast(Runs, runs), f_column)
    rho = mohns_rho(peels)
    base = next(name for name in runs if name not in set(peels["run"]))
    names = {"ssb": "SSB", "f": "F", "recruitment": "Recruitment"}
    rho_table = pd.DataFrame({"Quantity": [names[q] for q in rho.index],
                              "Mohn's rho": [three_decimals(value) for value in rho]})
    peel_table = pd.DataFrame({
        "Run": peels["run"], "Quantity": peels["quantity"].map(names),
        "Last year": peels["year"].astype(str), "Peel": peels["value"],
        "Base": peels["base"], "Relative": peels["relative"].map(three_decimals)})
    return [
        Note(f"The base run is {base}, which ends in {runs[base]['years'][-1]}; each other run "
             f"is a peel, compared with the base in its own last year. Mohn's rho is the mean "
             f"over the peels of (peel's estimate / base run's estimate - 1). F is the "
             f"average-F column {f_column}; {RECRUITMENT}. A rho of NA: the base run's "
             f"estimate is 0 for some peel, or the runs have no ages."),
        Drawn(over_the_years(plot_retro(cast(Runs, runs), f_column=f_column), _span(runs)),
              "The base run (black) and its peels, each ending in a point at its last year; "
              "each panel's title gives Mohn's rho. Recruitment is the stock numbers at the "
              "first age."),
        table("mohns-rho", "Mohn's rho", rho_table, text_columns=1),
        table("retro-peels", "Each peel against the base run in the peel's last year",
              peel_table, text_columns=2),
    ]


def _span(runs: Mapping[str, Run]) -> range:
    """Every year of some run (each run having years)."""
    return range(min(run["years"][0] for run in runs.values()),
                 max(run["years"][-1] for run in runs.values()) + 1)


def is_retrospective_set(runs: Sequence[Mapping[str, Any]]) -> bool:
    """Two or more runs that share their first year and each end in a year of their own."""
    if len(runs) < 2 or not all(run["years"] for run in runs):
        return False
    last_years = [run["years"][-1] for run in runs]
    return (len({run["years"][0] for run in runs}) == 1
            and len(set(last_years)) == len(last_years))


def _last_year_values(run: Run, f_column: int) -> list:
    if not run["years"]:
        return ["", "", "", ""]
    year = run["years"][-1]
    recruits = recruits_by_year(run)
    return [str(year), run["ssb"][year], "" if recruits is None else recruits[year],
            run["average_f"].loc[f_column, year]]
