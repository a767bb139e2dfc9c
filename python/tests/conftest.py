import os
import subprocess
import sys
from pathlib import Path

import pytest

import scantelk

REPO = Path(__file__).resolve().parents[2]


def golden(name: str) -> Path:
    return REPO / "tests" / "golden" / f"{name}.tmp"


@pytest.fixture
def make_run(tmp_path):
    """A run of 4 years and 3 ages from scripts/make_run.py, its input data file's text changed
    by `edit`, summarised by scantelk and read back; `name` names its files in tmp_path."""
    binary = os.environ.get("SCANTELK_BINARY", str(REPO / "build" / "scantelk"))

    def make(*arguments, edit=lambda text: text, name="run"):
        base = tmp_path / name
        subprocess.run([sys.executable, REPO / "scripts" / "make_run.py", base, "--years", "4",
                        "--ages", "3", *arguments], check=True)
        dat = base.with_suffix(".dat")
        dat.write_text(edit(dat.read_text()))
        subprocess.run([binary, dat], check=True)
        return scantelk.read(base.with_suffix(".tmp"))

    return make
