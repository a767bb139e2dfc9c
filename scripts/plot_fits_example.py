#!/usr/bin/env python3
"""Draws doc/haddock-fits.png, the fits of examples/haddock that the README shows.

Runs scantelk --fits on examples/haddock.dat, reads the summary and its fits with the Python
reader in python/ and draws plot_fits, with its colours reduced so that the picture stays small.

    /usr/bin/python3 scripts/plot_fits_example.py [path of scantelk, by default build/scantelk]
"""
import subprocess
import sys
from pathlib import Path

from PIL import Image

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "python"))
import scantelk  # noqa: E402  (the reader of this repository, not an installed one)


def main() -> None:
    binary = sys.argv[1] if len(sys.argv) > 1 else str(ROOT / "build" / "scantelk")
    subprocess.run([binary, "--fits", str(ROOT / "examples" / "haddock.dat")], check=True)
    run = scantelk.read(ROOT / "examples" / "haddock.tmp")
    picture = ROOT / "doc" / "haddock-fits.png"
    scantelk.plot_fits(run, picture, dpi=72)
    Image.open(picture).quantize(colors=32).save(picture, optimize=True)


if __name__ == "__main__":
    main()
