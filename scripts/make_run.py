#!/usr/bin/env python3
"""Writes a TELK input data file (BASE.dat) and report (BASE.rep) for a simulated fish stock.

The stock follows a simple age-structured model: lognormal recruitment, natural and fishing
mortality by age, catches by the Baranov equation, and survey indices proportional to the
selected numbers with lognormal noise. Sizes are free, from a hand-sized example to runs far
larger than real ones, for tests and benchmarks.

    python3 scripts/make_run.py examples/haddock --years 40 --ages 10 --fleets 2 --indices 4 --unused 1

The report's fits are those of a model that found the stock: its predicted catch and proportions
at age are the stock's own, and the observed ones carry observation error, the catch a lognormal
one and the proportions a multinomial one of the fleet and year's input sample size. The data
file's catch at age is the stock's own.

--replicates N writes N runs of one stock (the same biology and fishing, from --seed) that
differ in their recruitment and their observation noise, for ensembles: BASE-1 ... BASE-N,
the numbers zero-filled to one width (BASE-001 ... BASE-200), so that they sort in order:

    python3 scripts/make_run.py runs/sim --replicates 200 --seed 7

--peel K writes the same stock's run with its last K years removed, as a model refitted to
less data reports it: the data and observations of the years kept are those of the full run,
and the estimates drift from it towards the peel's last year, where SSB, stock numbers and
recruits are 1 + B times the full run's and average F 1 - B times (B is --peel-bias). So a
set made with --peel 1 ... --peel P has a Mohn's rho of about B, -B and B.

    for k in 1 2 3; do python3 scripts/make_run.py runs/minus$k --peel $k; done
"""
import argparse
import math
import random


def parse_args():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("base", help="output path without extension")
    p.add_argument("--years", type=int, default=40)
    p.add_argument("--first-year", type=int, default=1980)
    p.add_argument("--ages", type=int, default=10)
    p.add_argument("--fleets", type=int, default=2)
    p.add_argument("--sel-blocks", type=int, default=2)
    p.add_argument("--indices", type=int, default=4)
    p.add_argument("--unused", type=int, default=0, help="how many indices (the last ones but one) are switched off")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--title", default="Simulated stock")
    p.add_argument("--magnitudes", action="store_true",
                   help="write every value with a random magnitude from 1e-4 to 1e7 and six "
                        "significant digits (a benchmark shape in which exponent forms appear)")
    p.add_argument("--peel", type=int, default=0, help="how many of the last years to remove")
    p.add_argument("--peel-bias", type=float, default=0.05,
                   help="a peel's relative bias in its last year (default 0.05)")
    p.add_argument("--replicates", type=int, default=0,
                   help="write this many runs of one stock, BASE-1 ... BASE-N (zero-filled), each with "
                        "its own recruitment and observation noise")
    a = p.parse_args()
    if not 0 <= a.peel < max(a.years, 1):
        p.error("--peel must be at least 0 and less than --years")
    if a.replicates < 0:
        p.error("--replicates must be at least 0")
    return a


# The input sample size of every fleet and year, catch and discards alike.
INPUT_SAMPLE_SIZE = 100


# A random.Random when every value is to be written with a random magnitude instead.
MAGNITUDES = None


def g(x, digits=4):
    """A few significant digits, as a model's own output writes them."""
    if MAGNITUDES is not None:
        return f"{10 ** MAGNITUDES.uniform(-4, 7):.6g}"
    return f"{x:.{digits}g}"


def row(values, digits=6):
    return " ".join(g(v, digits) for v in values)


def logistic(a, a50, slope):
    return 1.0 / (1.0 + math.exp(-slope * (a - a50)))


class Noise:
    """The random streams of a run: `fixed` draws the fishing history, which the replicates of
    a stock share; `varying` the recruitment and the report's noise; `samples` the observed
    proportions at age. A single run draws the first two from one stream, as it always has, so
    that its values stay what they were."""

    def __init__(self, seed, replicate=None):
        if replicate is None:
            self.fixed = self.varying = random.Random(seed)
            self.samples = random.Random(f"{seed} samples")
        else:
            self.fixed = random.Random(seed)
            self.varying = random.Random(f"{seed} replicate {replicate}")
            self.samples = random.Random(f"{seed} replicate {replicate} samples")


class Stock:
    def __init__(self, a, noise):
        rnd = noise.fixed
        Y, A, F = a.years, a.ages, a.fleets
        self.Y, self.A, self.F, self.I = Y, A, F, a.indices
        ages = range(A)
        # Mortality per age class shrinks as classes get finer, so that a run with many ages
        # spans the same realistic range of numbers as one with ten.
        rate = 10.0 / max(A, 10)
        self.m = [[rate * (0.2 + 0.02 * math.sin(y / 5.0)) for _ in ages] for y in range(Y)]
        grow = [(1 - math.exp(-0.35 * rate * (x + 0.5))) ** 3 for x in ages]
        self.wc = [[3.0 * grow[x] * (1 + 0.03 * math.sin(y + x)) for x in ages] for y in range(Y)]
        self.wssb = [[0.95 * w for w in r] for r in self.wc]
        self.wjan = [[0.9 * w for w in r] for r in self.wc]
        a50 = max(A / 3.0, 1.0)
        self.mat = [[logistic(x, a50, 1.5 * rate) for x in ages] for _ in range(Y)]
        self.sel = [[logistic(x, a50 * (0.7 + 0.3 * f), 1.2 * rate) for x in ages] for f in range(F)]
        self.fmult = []
        for f in range(F):
            level, path = rate * 0.3 / max(F, 1), []
            for _ in range(Y):
                level *= math.exp(rnd.gauss(0, 0.1))
                path.append(level)
            self.fmult.append(path)
        r0 = 1.0e6
        self.n = [[0.0] * A for _ in range(Y + 1)]
        self.n[0] = [r0 * math.exp(-0.3 * rate * x) for x in ages]
        self.catch = [[[0.0] * A for _ in range(Y)] for _ in range(F)]
        for y in range(Y):
            z = [self.m[y][x] + sum(self.fmult[f][y] * self.sel[f][x] for f in range(F)) for x in ages]
            for f in range(F):
                for x in ages:
                    fx = self.fmult[f][y] * self.sel[f][x]
                    self.catch[f][y][x] = fx / z[x] * (1 - math.exp(-z[x])) * self.n[y][x]
            nxt = self.n[y + 1]
            recruits = r0 * math.exp(noise.varying.gauss(0, 0.5))
            if A > 0:
                nxt[0] = recruits
            for x in range(1, A):
                nxt[x] = self.n[y][x - 1] * math.exp(-z[x - 1])
            if A > 1:
                nxt[A - 1] += self.n[y][A - 1] * math.exp(-z[A - 1])
        self.rnd = noise.varying
        self.observed_proportions = [
            [sampled_proportions(noise.samples, self.catch[f][y], INPUT_SAMPLE_SIZE) for y in range(Y)]
            for f in range(F)]

    def recruits(self, y):
        return self.n[y][0] if self.A > 0 else 0.0

    def ssb(self, y):
        return sum(self.n[y][x] * self.mat[y][x] * self.wssb[y][x] for x in range(self.A)) / 1000.0

    def fleet_catch(self, f, y):
        return sum(self.catch[f][y][x] * self.wc[y][x] for x in range(self.A)) / 1000.0

    def index(self, i, y):
        q = 1e-4 * (i + 1)
        return q * sum(self.n[y][x] * logistic(x, 1 + i % 3, 2.0) for x in range(self.A))


def sampled_proportions(rnd, numbers, n):
    """The proportions at age of a multinomial sample of n fish from catch at age `numbers`;
    all zero when nothing was caught."""
    if sum(numbers) <= 0:
        return [0.0] * len(numbers)
    counts = [0] * len(numbers)
    for age in rnd.choices(range(len(numbers)), weights=numbers, k=n):
        counts[age] += 1
    return [c / n for c in counts]


class Estimates:
    """What the model reports of the stock from the first `years` years of data: the stock
    itself, drifting by a relative bias that grows linearly over the last RAMP years to `bias`
    in the last year (and stays there for the recruits of the year after)."""

    RAMP = 5

    def __init__(self, stock, years, bias):
        self.s, self.last, self.bias = stock, years - 1, bias

    def _drift(self, y):
        return self.bias * max(0.0, 1.0 - (self.last - min(y, self.last)) / self.RAMP)

    def numbers(self, y):
        return [v * (1 + self._drift(y)) for v in self.s.n[y]]

    def recruits(self, y):
        return self.s.recruits(y) * (1 + self._drift(y))

    def ssb(self, y):
        return self.s.ssb(y) * (1 + self._drift(y))

    def f(self, y):
        return sum(self.s.fmult[k][y] for k in range(self.s.F)) * (1 - self._drift(y))


def write_dat(a, s, used, Y):
    A, F = a.ages, a.fleets
    out = []
    w = out.append
    w("TELK VERSION 2.0")
    w(f"# {a.title}")
    w("# Dimensions ------------------------------------------------")
    w(f"{Y}  # Number of Years")
    w(f"{a.first_year}  # First Year")
    w(f"{A}  # Number of Ages (last is a plus group)")
    w(f"{F}  # Number of Fleets")
    w(f"{a.sel_blocks}  # Number of Selectivity Blocks")
    w(f"{a.indices}  # Number of Available Survey Indices")
    w("# Natural Mortality -------------------------------------------")
    out.extend(row(r) for r in s.m[:Y])
    w("# Fecundity Option")
    w("0")
    w("# Fraction of year elapsed before SSB calculation")
    w("0.25")
    w("# Maturity ----------------------------------------------------")
    out.extend(row(r) for r in s.mat[:Y])
    w("# Catch weight at age (kg) ------------------------------------")
    out.extend(row(r) for r in s.wc[:Y])
    w("# Spawning stock weight at age (kg)")
    out.extend(row(r) for r in s.wssb[:Y])
    w("# January-1 weight at age (kg)")
    out.extend(row(r) for r in s.wjan[:Y])
    for f in range(F):
        w(f"# Catch at age and total catch, fleet {f + 1}")
        for y in range(Y):
            out.append(row(s.catch[f][y]) + " " + g(s.fleet_catch(f, y)))
    w("# Selectivity block assignment by fleet")
    w(" ".join(str(b % max(a.sel_blocks, 1) + 1) for b in range(F)))
    for b in range(a.sel_blocks):
        w(f"# Selectivity block {b + 1}: initial value, phase, lambda, CV by age; then options")
        for x in range(A):
            w(f"{g(logistic(x, A / 3.0, 1.0))} 1 0 1")
        for option in (1, 2, 0, 0, 0, 0):
            w(str(option))
    w("# Fishery options: first/last age of average F, weighting, phases")
    for option in (2, max(A - 2, 1), 1, 1, 2, 3):
        w(str(option))
    for title in ("Discards at age and total discards", "Proportion released", "Release mortality"):
        for f in range(F):
            w(f"# {title}, fleet {f + 1}")
            for y in range(Y):
                w(row([0.0] * (A + 1)) if title != "Release mortality" else row([0.1] * (A + 1)))
    w("# Survey index specifications: one line per value, one column per index")
    w(" ".join("2" for _ in range(a.indices)) + "  # units (1 biomass, 2 numbers)")
    w(" ".join(str(1 + i % 12) for i in range(a.indices)) + "  # month")
    w(" ".join(str(1 + i % 3) for i in range(a.indices)) + "  # selectivity link to fleet")
    w(" ".join("1" for _ in range(a.indices)) + "  # first age")
    w(" ".join(str(A) for _ in range(a.indices)) + "  # last age")
    w(" ".join("1" for _ in range(a.indices)) + "  # estimate proportions at age")
    w(" ".join("1" if u else "0" for u in used) + "  # use index (0 = not used)")
    w("# Survey index data follow; scantelk stops reading here")
    w(f"{a.first_year} 1.0 0.3")
    with open(a.base + ".dat", "w") as f:
        f.write("\n".join(out) + "\n")


def write_rep(a, s, used, Y):
    A, F = a.ages, a.fleets
    rnd = s.rnd
    years = [a.first_year + y for y in range(Y)]
    estimates = Estimates(s, Y, a.peel_bias if a.peel else 0.0)

    def noise(sd):
        """One draw per year of the full run, so that a peel's observations are the full run's."""
        return [rnd.gauss(0, sd) for _ in range(a.years)][:Y]
    out = []
    w = out.append
    w(f"TELK model report: {a.title}")
    w("Objective function and likelihood components follow.")
    w("")
    for title in ("Input and Estimated effective sample sizes", "Input and Estimated effective Discard sample sizes"):
        w(f"{title}, fleets 1 to {F} in turn")
        for f in range(F):
            estimated = [100 * math.exp(e) for e in noise(0.2)]
            for y, e in zip(years, estimated):
                w(f"{y}  {INPUT_SAMPLE_SIZE}  {g(e)}")
            w(f"Fleet {f + 1} totals: input = {INPUT_SAMPLE_SIZE * Y}  estimated = {g(sum(estimated))}")
            w("")
    for title in ("Observed and predicted total fleet catch", "Observed and predicted total fleet Discards"):
        w(title)
        for f in range(F):
            w(f"Fleet {f + 1}: year, observed, predicted")
            for y, e in enumerate(noise(0.05)):
                predicted = s.fleet_catch(f, y) if "catch" in title else 0.0
                w(f"{years[y]}  {g(predicted * math.exp(e))}  {g(predicted)}")
    w("")
    w("Index data")
    for i in range(a.indices):
        if not used[i]:
            continue
        w(f"Index {i + 1}")
        w("Year  observed  predicted  std.resid")
        for y, resid in enumerate(noise(1)):
            pred = s.index(i, y)
            w(f"{years[y]}  {g(pred * math.exp(0.3 * resid))}  {g(pred)}  {g(resid)}")
        w("")
    w("Input and Estimated effective sample sizes for the indices")
    for i in range(a.indices):
        if not used[i]:
            continue
        w(f"Index {i + 1}")
        for y, e in zip(years, noise(0.2)):
            w(f"{y}  50  {g(50 * math.exp(e))}")
        w("")
    w("Average F")
    w(f"Ages 2 to {max(A - 2, 1)}")
    w("Year  unweighted  N-weighted  B-weighted")
    for y in range(Y):
        f = estimates.f(y)
        w(f"{years[y]}  {g(f)}  {g(0.97 * f)}  {g(0.95 * f)}")
    w("")
    w("Population Numbers")
    for y in range(Y):
        w(row(estimates.numbers(y), 4))
    w("")
    for title in ("Proportions of catch", "Proportions of Discards"):
        w(title + " at age by fleet and year")
        for f in range(F):
            w(f"Fleet {f + 1}")
            for y in range(Y):
                total = sum(s.catch[f][y]) or 1.0
                predicted = [c / total if "catch" in title else 0.0 for c in s.catch[f][y]]
                observed = s.observed_proportions[f][y] if "catch" in title else predicted
                w(f"{years[y]} obs = " + row(observed, 3))
                w(f"{years[y]} pred = " + row(predicted, 3))
        w("")
    w("Spawning Stock, Obs Recruits(year+1), Pred Recruits(year+1)")
    w("Year  SSB  Obs.Recruits  Pred.Recruits")
    for y, e in enumerate(noise(0.2)):
        pred = estimates.recruits(y + 1)
        w(f"{years[y]}  {g(estimates.ssb(y))}  {g(pred * math.exp(e))}  {g(pred)}")
    with open(a.base + ".rep", "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    global MAGNITUDES
    a = parse_args()
    if a.magnitudes:
        MAGNITUDES = random.Random(a.seed + 1)
    used = [True] * a.indices
    for k in range(min(a.unused, a.indices)):
        used[a.indices - 2 - k if a.indices >= 2 + k else k] = False
    if a.replicates == 0:
        write_run(a, Stock(a, Noise(a.seed)), used)
    # Zero-filled numbers, so that the files sort in the order of their replicates.
    width = len(str(a.replicates))
    for k in range(1, a.replicates + 1):
        replicate = argparse.Namespace(**vars(a))
        replicate.base, replicate.title = f"{a.base}-{k:0{width}d}", f"{a.title}, replicate {k}"
        write_run(replicate, Stock(a, Noise(a.seed, k)), used)


def write_run(a, s, used):
    write_dat(a, s, used, a.years - a.peel)
    write_rep(a, s, used, a.years - a.peel)


if __name__ == "__main__":
    main()
