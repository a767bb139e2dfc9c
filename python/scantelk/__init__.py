"""Readers for the summary files that scantelk writes after a TELK stock-assessment run.

    import scantelk
    run = scantelk.read("run.tmp")
    run["stock_numbers"].loc[1, 1990]    # age 1 in 1990
    scantelk.plot(run, "run.png")
"""
from scantelk.long_form import compare, to_long
from scantelk.plot import plot
from scantelk.reader import read

__all__ = ["compare", "plot", "read", "to_long"]
__version__ = "1.0.0"
