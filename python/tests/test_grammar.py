import csv
import re

import numpy as np
import pytest

import scantelk
from conftest import REPO, golden
from scantelk.fields import parse_fields

BAD = REPO / "tests" / "bad_summaries"


# (1) Every file of the shared table of bad summaries is refused with its message.

def bad_cases():
    with open(BAD / "cases.tsv", newline="") as table:
        return [tuple(row.values()) for row in csv.DictReader(table, delimiter="\t",
                                                              quoting=csv.QUOTE_NONE)]


@pytest.mark.parametrize("name, line, message", bad_cases())
def test_a_file_scantelk_did_not_write_is_refused_with_the_tables_message(name, line, message):
    path = BAD / name
    where = "" if line == "-" else f" line {line}"
    with pytest.raises(ValueError) as raised:
        scantelk.read(path)
    assert str(raised.value) == f"{path}{where}: {message}"


# (2) Each field reads as Python's float() of its text, bit for bit.

def per_year_numbers(path):
    """float() of every token of the per-year data lines, in file order."""
    lines = path.read_bytes().decode("latin-1").split("\r\n")
    width = 16 * int(lines[1].split()[0])
    numbers = []
    for text in lines[2:]:
        try:
            numbers += [float(token) for token in text.split()] if len(text) == width else []
        except ValueError:  # a heading as long as a data line
            pass
    return numbers


def read_numbers(path):
    run = scantelk.read(path)
    tables = [value for key, value in run.items()
              if key not in ("title", "years", "dims", "index_spec", "fits")]
    return np.concatenate([np.asarray(table, dtype=float).ravel() for table in tables])


def assert_same_bits(path):
    expected = np.array(per_year_numbers(path))
    assert read_numbers(path).tobytes() == expected.tobytes()


@pytest.mark.parametrize("name", ["tiny", "fleets", "haddock"])
def test_the_bundled_summaries_read_as_float_reads_each_field(name):
    assert_same_bits(golden(name))


def test_extreme_negative_and_special_values_read_as_float_reads_them(make_run, tmp_path):
    extremes = ["-4.9e-324", "2.2250738585072014e-308", "-1.7976931348623157e308", "1e999",
                "-1e999", "-0.12345645", "9.9999996", "1e23", "1e-17"]

    def edit(dat):  # the first age's natural mortality, one year per line
        before, mortality = dat.split("# Natural Mortality", 1)
        values = iter(extremes)
        mortality = re.sub(r"(?<=\n)\S+", lambda _: next(values), mortality, len(extremes))
        return before + "# Natural Mortality" + mortality

    make_run("--years", str(len(extremes)), edit=edit)
    path = tmp_path / "run.tmp"
    summary = bytearray(path.read_bytes())
    for field, text in [(b"2.000000E-001   ", b"NaN".ljust(16)),
                        (b"Spawning Stock Biomass\r\n", b"NaN".rjust(15) + b" ")]:
        at = summary.index(field) + (len(field) if field.endswith(b"\n") else 0)
        summary[at:at + 16] = text
    path.write_bytes(summary)
    assert_same_bits(path)


def test_fields_of_every_exponent_read_as_float_reads_them():
    random = np.random.default_rng(31)
    mantissas = random.integers(1_000_000, 10_000_000, 4000)
    exponents = random.integers(-324, 309, 4000)
    texts = [f"{'-' if m % 3 == 0 else ''}{m // 1_000_000}.{m % 1_000_000:06d}"
             f"E{'-' if e < 0 else '+'}{abs(e):03d}" for m, e in zip(mantissas, exponents)
             if (e, m) >= (-324, 4940656) and (e, m) <= (308, 1797693)]
    for right in (False, True):
        fields = b"".join(text.encode().rjust(15) + b" " if right else text.encode().ljust(16)
                          for text in texts)
        values = np.empty(len(texts))
        parse_fields(np.frombuffer(fields, dtype=np.uint8).reshape(1, -1), right, values)
        assert values.tobytes() == np.array([float(text) for text in texts]).tobytes()
