"""Readers for the summary files that scantelk writes after a TELK stock-assessment run.

    import scantelk
    run = scantelk.read("run.tmp")
    run["stock_numbers"].loc[1, 1990]    # age 1 in 1990
    scantelk.plot(run, "run.png")
    scantelk.plot_fits(run, "fits.png")     # after scantelk --fits run.dat

    runs = {"base": "base.tmp", "peel1": "peel1.tmp", "peel2": "peel2.tmp"}
    scantelk.mohns_rho(runs)                # ssb, f, recruitment
    scantelk.plot_retro(runs, "retro.png")
"""
from scantelk.fits import composition_residuals, mean_age, read_fits
from scantelk.long_form import compare, to_long
from scantelk.plot import plot, plot_compare, plot_retro
from scantelk.plot_fits import plot_fits
from scantelk.reader import read
from scantelk.retrospective import mohns_rho, retro

__all__ = ["compare", "composition_residuals", "mean_age", "mohns_rho", "plot", "plot_compare",
           "plot_fits", "plot_retro", "read", "read_fits", "retro", "to_long"]
__version__ = "1.0.0"
