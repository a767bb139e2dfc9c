#!/usr/bin/env python3
"""Draws doc/ensemble.png, the fan chart of an ensemble of the haddock example that the README
shows.

scripts/make_run.py --replicates writes 200 runs of the haddock-like stock of examples/haddock,
each with its own recruitment and observation noise, in a temporary folder; scantelk
summarises them, and the Python reader in python/ gathers them and draws their fan chart with
the first replicate as the base run, its colours reduced so that the picture stays small.

    /usr/bin/python3 scripts/ensemble_example.py [path of scantelk, by default build/scantelk]
"""
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "python"))
import scantelk  # noqa: E402  (the reader of this repository, not an installed one)

# The arguments that made examples/haddock.dat and examples/haddock.rep.
HADDOCK = ["--seed", "42", "--years", "40", "--first-year", "1982", "--ages", "10",
           "--fleets", "2", "--indices", "4", "--unused", "1"]
REPLICATES = 200


def main() -> None:
    binary = sys.argv[1] if len(sys.argv) > 1 else str(ROOT / "build" / "scantelk")
    with tempfile.TemporaryDirectory() as folder:
        base = Path(folder) / "haddock"
        subprocess.run([sys.executable, str(ROOT / "scripts" / "make_run.py"), str(base),
                        *HADDOCK, "--replicates", str(REPLICATES)], check=True)
        inputs = sorted(str(path) for path in Path(folder).glob("haddock-*.dat"))
        subprocess.run([binary, *inputs], check=True)
        ensemble = scantelk.gather(str(Path(folder) / "haddock-*.tmp"))
        picture = ROOT / "doc" / "ensemble.png"
        scantelk.plot_ensemble(ensemble, base="haddock-001", path=picture, dpi=72)
    Image.open(picture).quantize(colors=64).save(picture, optimize=True)


if __name__ == "__main__":
    main()
