#!/usr/bin/env python3
"""Writes the fuzz seed corpus: small runs covering every report section, comment and CR-LF
forms, unused indices, and short and missing lines, and one wide run that declares large index
tables. Each seed is the input data file, the separator line, then the report; a seed without
the separator has no report. Run from the repository root: python3 fuzz/make_seeds.py"""
import pathlib

root = pathlib.Path(__file__).resolve().parent.parent
out = root / "fuzz" / "corpus"
out.mkdir(parents=True, exist_ok=True)


def read(path):
    return (root / path).read_bytes()


SEPARATOR = b"@@report@@\n"


def seed(name, dat, rep=None):
    data = dat if rep is None else dat + SEPARATOR + rep
    (out / f"seed-{name}").write_bytes(data)


tiny_dat, tiny_rep = read("examples/tiny.dat"), read("examples/tiny.rep")
fleets_dat, fleets_rep = read("tests/golden/fleets.dat"), read("tests/golden/fleets.rep")

seed("tiny", tiny_dat, tiny_rep)
seed("fleets", fleets_dat, fleets_rep)
seed("tiny-crlf", tiny_dat.replace(b"\n", b"\r\n"), tiny_rep.replace(b"\n", b"\r\n"))
seed("fleets-lf", fleets_dat.replace(b"\r\n", b"\n"), fleets_rep)
seed("no-report", tiny_dat)
seed("empty-report", tiny_dat, b"")
seed("wrong-version", b"TELK VERSION 1.0\n" + tiny_dat.split(b"\n", 1)[1], tiny_rep)
seed("one-line", b"TELK VERSION 2.0\n", tiny_rep)
seed("comments-to-end", b"TELK VERSION 2.0\n# t\n2\n# a\n# b\n", tiny_rep)

lines = tiny_dat.split(b"\n")
seed("truncated-input", b"\n".join(lines[: len(lines) // 2]), tiny_rep)
seed("short-row", tiny_dat.replace(b"0.25 0.75", b"0.25", 1), tiny_rep)
seed("out-of-range", tiny_dat.replace(b"2000    #", b"70000   #", 1), tiny_rep)
seed("negative-years", tiny_dat.replace(b"2       # number of years", b"-2", 1), tiny_rep)
seed("unused-index", tiny_dat.replace(b"1       # use this index", b"0", 1), tiny_rep)
seed("huge-dimensions", b"TELK VERSION 2.0\n# big\n32767\n1\n32767\n1\n1\n1\n0.1 0.2\n", b"")
seed("nul-bytes", tiny_dat.replace(b"# Tiny", b"# T\0iny", 1).replace(b"0.25 0.75", b"0.25\0 0.75", 1),
     tiny_rep.replace(b"Average F", b"\0Average F\0", 1))


def wide_input(years, indices):
    """No ages, fleets or selectivity blocks: every group but the index specifications is one
    empty line per year or none, so few bytes declare five index tables of years x indices. The
    first index is used."""
    head = f"TELK VERSION 2.0\n# wide\n{years}\n1\n0\n0\n0\n{indices}\n".encode()
    flags = [b"0 " * indices] * 6 + [b"1 " + b"0 " * (indices - 1)]
    return head + b"\n" * (5 * years + 2 + 7) + b"\n".join(flags) + b"\n"


# Without fleets the first four sections are their headings alone.
fleet_headings = b"".join(heading + b"\n" for heading in (
    b"Input and Estimated effective sample sizes",
    b"Input and Estimated effective Discard sample sizes",
    b"Observed and predicted total fleet catch",
    b"Observed and predicted total fleet Discards"))

# Index tables of 90 MB each from 59 KB: a run that clears or writes them in full stands out.
seed("wide-indices", wide_input(4000, 2800),
     fleet_headings + b"Index data\nIndex 1\n1 1.5 1.4 0.2\n3 2.5 2.4 -0.1\n\n")
# A row for every year, each in a page of its own in three index tables: about the most memory
# that an input of this size makes resident by what it fills.
seed("sparse-index-rows", wide_input(3000, 600),
     fleet_headings + b"Index data\n" + b"".join(b"%d 1 1 1\n" % year for year in range(1, 3001)))

rep_lines = tiny_rep.split(b"\n")
seed("truncated-report", tiny_dat, b"\n".join(rep_lines[: len(rep_lines) // 2]))
seed("report-no-final-newline", tiny_dat, tiny_rep.rstrip(b"\n"))
seed("sections-out-of-order", tiny_dat,
     tiny_rep.replace(b"Average F", b"Avg").replace(b"Population Numbers", b"Average F"))
seed("years-out-of-range", tiny_dat, tiny_rep.replace(b" 2001  4.25", b" 1999  4.25"))
seed("long-lines", tiny_dat.replace(b"# Tiny", b"#" + b"x" * 3000 + b" Tiny"),
     tiny_rep.replace(b"Index data", b"y" * 3000 + b"Index data"))
