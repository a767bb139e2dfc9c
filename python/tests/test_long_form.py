import csv
import io
import os
import shutil
import subprocess

import numpy as np
import pytest

import scantelk
from conftest import golden

R_LIBRARY = os.environ.get("SCANTELK_R_LIBRARY")

# Prints R's long form as CSV, each value in hexadecimal so that no digit is lost.
R_LONG_FORM = """
long <- as.data.frame(scantelk::read_scantelk(commandArgs(TRUE)[1]))
long$value <- sprintf("%a", long$value)
write.csv(long, stdout(), row.names = FALSE, na = "")
"""


# (4) R and Python give the same long form.

@pytest.mark.skipif(not R_LIBRARY or not shutil.which("Rscript"),
                    reason="needs Rscript and SCANTELK_R_LIBRARY, the R package's library")
@pytest.mark.parametrize("name", ["tiny", "fleets", "haddock"])
def test_r_and_python_long_forms_agree(name):
    result = subprocess.run(["Rscript", "-e", R_LONG_FORM, golden(name)], check=True,
                            capture_output=True, text=True, env={**os.environ, "R_LIBS": R_LIBRARY})
    header, *rows = csv.reader(io.StringIO(result.stdout))
    long = scantelk.to_long(scantelk.read(golden(name)))
    assert header == long.columns.tolist()
    assert [(b, r or None, k or None, int(y)) for b, r, k, y, _ in rows] == list(
        long.drop(columns="value").itertuples(index=False, name=None))
    from_r = np.array([float.fromhex(row[-1]) for row in rows])
    ours = long["value"].to_numpy()
    within_one_unit = np.abs(from_r - ours) <= np.spacing(np.abs(ours))
    assert (within_one_unit | (from_r == ours) | (np.isnan(from_r) & np.isnan(ours))).all()


def test_compare_stacks_runs_of_different_years_under_their_names():
    both = scantelk.compare({"tiny": golden("tiny"), "fleets": scantelk.read(golden("fleets"))})
    fleets = both[both["run"] == "fleets"].drop(columns="run").reset_index(drop=True)
    assert fleets.equals(scantelk.to_long(scantelk.read(golden("fleets"))))
    assert (both["run"] == "tiny").sum() == 58


# (5) The plot page.

def test_plot_writes_a_png(tmp_path):
    scantelk.plot(scantelk.read(golden("fleets")), tmp_path / "run.png")
    assert (tmp_path / "run.png").read_bytes().startswith(b"\x89PNG")
