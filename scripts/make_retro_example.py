#!/usr/bin/env python3
"""Writes the small retrospective set that the R and Python packages ship as their example.

A base run of 10 years (2000 to 2009) and two peels, ending in 2008 and 2007, of 2 ages, 1 fleet
and no survey index, written as scantelk writes summaries. In its own last year each peel lies
from the base by simple fractions, so that Mohn's rho can be checked by hand:

    peel   year   SSB            F (column 1)     recruits (age 1)   F (column 2)
    peel1  2008   2750 / 2500    0.3 / 0.4        10000 / 8000       0.432 / 0.36
                  = +10 %        = -25 %          = +25 %            = +20 %
    peel2  2007   1400 / 2000    0.75 / 0.5       4000 / 5000        0.54 / 0.45
                  = -30 %        = +50 %          = -20 %            = +20 %

    rho: SSB -0.1, F 0.125 (column 2: 0.2), recruitment 0.025.

    /usr/bin/python3 scripts/make_retro_example.py
"""
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
FOLDERS = [ROOT / "r" / "inst" / "extdata" / "retro",
           ROOT / "python" / "scantelk" / "data" / "retro"]
FIRST_YEAR = 2000

BASE = {
    "ssb": [3000, 2900, 2800, 2700, 2600, 2500, 2250, 2000, 2500, 2400],
    "f1": [0.3, 0.32, 0.35, 0.38, 0.4, 0.42, 0.45, 0.5, 0.4, 0.36],
    "n1": [6000, 7000, 5500, 6500, 8000, 7500, 6000, 5000, 8000, 7000],
}
# Each peel's factors on the base in its last two years: the drift grows towards its end.
PEELS = {
    "peel1": {"ssb": (1.05, 1.1), "f1": (0.875, 0.75), "n1": (1.125, 1.25), "f2": (1.1, 1.2)},
    "peel2": {"ssb": (0.85, 0.7), "f1": (1.25, 1.5), "n1": (0.9, 0.8), "f2": (1.1, 1.2)},
}


def field(value: float, left: bool = True) -> str:
    """A number as the summary writes it: seven digits, a three-digit exponent, 16 characters."""
    mantissa, exponent = f"{value:.6E}".split("E")
    text = f"{mantissa}E{int(exponent):+04d}"
    return (f"{text:<15}" if left else f"{text:>15}") + " "


def line(values: list, left: bool = True) -> str:
    return "".join(field(v, left) for v in values)


def summary(title: str, run: dict) -> str:
    years = len(run["ssb"])
    n2 = [0.6 * n for n in [5500] + run["n1"][:-1]]
    f1 = run["f1"]

    def constant(value: float) -> list:
        return [value] * years

    blocks = [
        ("Natural Mortality", [constant(0.2), constant(0.2)], True),
        ("Maturity", [constant(0.5), constant(1.0)], True),
        ("Catch Weight at Age", [constant(0.3), constant(0.8)], True),
        ("Spawning Stock Weight at Age", [constant(0.25), constant(0.75)], True),
        ("Jan-1 Weight at Age", [constant(0.25), constant(0.75)], True),
        ("Catch Weight by Fleet", [[f * 2000 for f in f1]], True),
        ("Discard Weight by Fleet", [constant(0.0)], True),
        ("Catch - Input & Effective Sample Size", [constant(100.0), constant(80.0)], True),
        ("Discard - Input & Effective Sample Size", [constant(0.0), constant(0.0)], True),
    ]
    lines = [title, f"{years}  {FIRST_YEAR}  2  1  0"]
    for heading, rows, left in blocks:
        lines += [heading] + [line(row, left) for row in rows]
    lines += ["Index Specification"] + [""] * 8
    lines += ["Index Observed, Predicted, Standardized Residual",
              "Index Input & Effective Sample Size"]
    lines += ["Average F"] + [line(row, False) for row in (f1, run["f2"], [0.8 * f for f in f1])]
    lines += ["Stock Numbers", line(run["n1"]), line(n2)]
    lines += ["Spawning Stock Biomass", line(run["ssb"], False)]
    # The line of year y holds the recruits of y + 1, those of the year after the last 6500.
    recruits = run["n1"][1:] + [6500]
    lines += ["Observed & Predicted Recruitment", line(recruits, False), line(recruits, False)]
    return "".join(text + "\r\n" for text in lines)


def peel(name: str, factors: dict) -> dict:
    years = len(BASE["ssb"]) - int(name[-1])
    run = {key: values[:years] for key, values in BASE.items()}
    run["f2"] = [0.9 * f for f in run["f1"]]
    base_f2 = run["f2"][:]
    for key, (before, last) in factors.items():
        start = base_f2 if key == "f2" else run[key]
        run[key] = start[:-2] + [start[-2] * before, start[-1] * last]
    return run


def main() -> None:
    runs = {"base": dict(BASE, f2=[0.9 * f for f in BASE["f1"]])}
    runs.update({name: peel(name, factors) for name, factors in PEELS.items()})
    for folder in FOLDERS:
        folder.mkdir(parents=True, exist_ok=True)
        for name, run in runs.items():
            title = f"Worked retrospective example, {name}"
            (folder / f"{name}.tmp").write_bytes(summary(title, run).encode())


if __name__ == "__main__":
    main()
