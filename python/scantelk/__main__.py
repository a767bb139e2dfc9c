"""python3 -m scantelk report RUN.tmp [MORE.tmp ...]: the report page of one or more runs."""
import sys

from scantelk.page_command import main

USAGE = "usage: python3 -m scantelk report RUN.tmp [MORE.tmp ...] [options]; see --help\n"

if len(sys.argv) > 1 and sys.argv[1] == "report":
    sys.exit(main(sys.argv[2:], prog="python3 -m scantelk report"))
sys.stderr.write(USAGE)
sys.exit(1)
