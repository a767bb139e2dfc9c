import os
import subprocess
import sys
from pathlib import Path

import pytest

import scantelk

REPO = Path(__file__).resolve().parents[2]


def golden(name: str) -> Path:
    return REPO / "tests" / "golden" / f"{name}.tmp"


def legends_clear_of_panels(figure) -> bool:
    """No legend of the figure overlaps a panel, so none can cover data."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg

    renderer = FigureCanvasAgg(figure).get_renderer()
    figure.draw(renderer)
    legends = [axes.get_legend().get_window_extent(renderer) for axes in figure.axes
               if axes.get_legend() is not None]
    return bool(legends) and not any(legend.overlaps(axes.get_window_extent(renderer))
                                     for legend in legends for axes in figure.axes)


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
