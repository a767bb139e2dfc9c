"""Readers for the summary files that scantelk writes after a TELK stock-assessment run.

    import scantelk
    run = scantelk.read("run.tmp")
    run["stock_numbers"].loc[1, 1990]    # age 1 in 1990
    scantelk.plot(run, "run.png")
    scantelk.plot_fits(run, "fits.png")     # after scantelk --fits run.dat

    runs = {"base": "base.tmp", "peel1": "peel1.tmp", "peel2": "peel2.tmp"}
    scantelk.mohns_rho(runs)                # ssb, f, recruitment
    scantelk.plot_retro(runs, "retro.png")

    ensemble = scantelk.gather("runs/*.tmp", workers=4)   # one long table of many runs
    scantelk.quantiles(ensemble)            # ssb, recruitment, f by year and probability
    scantelk.plot_ensemble(ensemble, path="fan.png")   # the fan chart
"""
from scantelk.ensembles import quantiles
from scantelk.fits import composition_residuals, mean_age, read_fits
from scantelk.gather import gather
from scantelk.long_form import compare, to_long
from scantelk.plot import plot, plot_compare, plot_retro
from scantelk.plot_ensemble import plot_ensemble
from scantelk.plot_fits import plot_fits
from scantelk.reader import read
from scantelk.retrospective import mohns_rho, retro

__all__ = ["compare", "composition_residuals", "gather", "mean_age", "mohns_rho", "plot",
           "plot_compare", "plot_ensemble", "plot_fits", "plot_retro", "quantiles", "read",
           "read_fits", "retro", "to_long"]
__version__ = "1.0.0"
