"""The sections of the report page that set several runs side by side: the comparison of a few
runs and the retrospective analysis of a base run and its peels.
"""
from __future__ import annotations

from typing import Any, Mapping, Sequence, cast

import pandas as pd

from scantelk.page_figures import Run, beside, colour, label, panels, recruits_by_year
from scantelk.page_html import Absent, Drawn, Item, Note, table, three_decimals
from scantelk.long_form import Runs
from scantelk.plot import COLOURS, _line, literal, plot_retro
from scantelk.retrospective import mohns_rho, retro

RECRUITMENT = "recruitment is the stock numbers at the first age, the recruits of that year"


def compare_items(runs: Mapping[str, Run], f_column: int) -> list[Item]:
    """SSB, recruitment and average F of each run over each other, and each run's values in
    its own last year."""
    with_years = {name: run for name, run in runs.items() if run["years"]}
    if not with_years:
        return [Absent("None of the runs has a model year, so there is nothing to compare.")]
    years = range(min(run["years"][0] for run in with_years.values()),
                  max(run["years"][-1] for run in with_years.values()) + 1)
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
        Drawn(plot_retro(cast(Runs, runs), f_column=f_column),
              "The base run (black) and its peels, each ending in a point at its last year; "
              "each panel's title gives Mohn's rho. Recruitment is the stock numbers at the "
              "first age."),
        table("mohns-rho", "Mohn's rho", rho_table, text_columns=1),
        table("retro-peels", "Each peel against the base run in the peel's last year",
              peel_table, text_columns=2),
    ]


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
