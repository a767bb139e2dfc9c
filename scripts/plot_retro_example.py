#!/usr/bin/env python3
"""Draws doc/haddock-retro.png, the retrospective plot of examples/haddock that the README shows.

The base is examples/haddock; its peels, the same simulated stock with its last 1 to 5 years
removed, are made by scripts/make_run.py --peel in a temporary folder. scantelk summarises
each, and the Python reader in python/ draws plot_retro of the set, with its colours reduced so
that the picture stays small.

    /usr/bin/python3 scripts/plot_retro_example.py [path of scantelk, by default build/scantelk]
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
PEELS = range(1, 6)


def main() -> None:
    binary = sys.argv[1] if len(sys.argv) > 1 else str(ROOT / "build" / "scantelk")
    subprocess.run([binary, str(ROOT / "examples" / "haddock.dat")], check=True)
    runs = {"base": ROOT / "examples" / "haddock.tmp"}
    with tempfile.TemporaryDirectory() as folder:
        for peel in PEELS:
            base = Path(folder) / f"haddock-{peel}"
            title = f"Simulated haddock-like stock, last {peel} years removed"
            subprocess.run([sys.executable, str(ROOT / "scripts" / "make_run.py"), str(base),
                            *HADDOCK, "--title", title, "--peel", str(peel)], check=True)
            subprocess.run([binary, str(base.with_suffix(".dat"))], check=True)
            runs[f"peel {peel}"] = scantelk.read(base.with_suffix(".tmp"))
        print(scantelk.mohns_rho(runs).to_string())
        picture = ROOT / "doc" / "haddock-retro.png"
        scantelk.plot_retro(runs, picture, dpi=72)
    Image.open(picture).quantize(colors=64).save(picture, optimize=True)


if __name__ == "__main__":
    main()
