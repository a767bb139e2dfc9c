"""Writes the table of bad summaries: small edits of tests/golden/tiny.tmp and cases.tsv, the
message each must give. Run from anywhere with /usr/bin/python3; commit what it writes.

The expected messages are written out here by hand, so that the table does not depend on the
readers it tests; only the file sizes are counted.
"""
from pathlib import Path

HERE = Path(__file__).resolve().parent
TINY = (HERE.parent / "golden" / "tiny.tmp").read_bytes()
LINES = TINY.split(b"\r\n")[:-1]  # line n of the file is LINES[n - 1]
HEADINGS = [
    "Natural Mortality", "Maturity", "Catch Weight at Age", "Spawning Stock Weight at Age",
    "Jan-1 Weight at Age", "Catch Weight by Fleet", "Discard Weight by Fleet",
    "Catch - Input & Effective Sample Size", "Discard - Input & Effective Sample Size",
    "Index Specification", "Index Observed, Predicted, Standardized Residual",
    "Index Input & Effective Sample Size", "Average F", "Stock Numbers",
    "Spawning Stock Biomass", "Observed & Predicted Recruitment"]
LINE_END = "the line does not end in CR LF"
DIMENSIONS = "expected five integers in the writer's form: years, first year, ages, fleets, indices"
DATA_LINE = "expected 32 bytes, 16 per year, then CR LF"


def joined(lines):
    return b"".join(line + b"\r\n" for line in lines)


def with_line(number, text):
    return joined(LINES[:number - 1] + [text] + LINES[number:])


def with_field(number, field, text):
    """Line `number` with its field `field` (from 1) replaced by the 16 bytes `text`."""
    line = LINES[number - 1]
    assert len(text) == 16
    return with_line(number, line[:16 * (field - 1)] + text + line[16 * field:])


def size_message(data, expected, at_least=False):
    return (None, f"the file is {len(data)} bytes; a summary of these dimensions is "
                  f"{'at least ' if at_least else ''}{expected} bytes")


def bad_field(number, field, text, quoted, justified="left"):
    return (with_field(number, field, text),
            (number, f'field {field} is not a {justified}-justified number in the writer\'s '
                     f'form: "{quoted}"'))


def smallest_size(title, dimensions, n_years, n_ages, n_fleets, n_indices):
    """Bytes of a summary without used indices whose index values are all one digit."""
    headings = sum(len(heading) + 2 for heading in HEADINGS)
    data_lines = 6 * n_ages + 6 * n_fleets + 6
    index_lines = 8 * (10 * n_indices + 2)
    return (len(title) + 2 + len(dimensions) + 2 + headings + data_lines * (16 * n_years + 2)
            + index_lines)


def cases():
    cut_heading = TINY[:TINY.index(b"Stock Numbers") + 5]
    thirty_thousand = b"30000  2000  2  1  1"
    grown = with_line(2, thirty_thousand)
    yield "cut_inside_last_number", TINY[:-4], size_message(TINY[:-4], len(TINY))
    yield "cut_before_last_line_end", TINY[:-2], size_message(TINY[:-2], len(TINY))
    yield "cut_inside_heading", cut_heading, size_message(cut_heading, len(TINY) - 5 * 34, True)
    yield "cut_inside_title", TINY[:7], (1, LINE_END)
    yield "empty", b"", (1, LINE_END)
    yield "lf_line_ends", TINY.replace(b"\r\n", b"\n"), (1, LINE_END)
    yield "lf_ending_a_data_line", TINY.replace(LINES[6] + b"\r\n", LINES[6] + b"\n", 1), \
        (7, DATA_LINE)
    yield "cr_inside_a_data_line", *bad_field(7, 1, b"5.000000E-001\r  ", "5.000000E-001\\x0d")
    yield "cr_lf_inside_a_data_line", \
        *bad_field(7, 1, b"5.000000E-001\r\n ", "5.000000E-001\\x0d\\x0a")
    yield "nul_in_a_field", *bad_field(8, 1, b"1.00\x00000E+000   ", "1.00\\x00000E+000")
    yield "hexadecimal", *bad_field(7, 1, b"0x10".ljust(16), "0x10")
    yield "underscore", *bad_field(7, 1, b"1_0".ljust(16), "1_0")
    yield "full_width_digit", *bad_field(7, 1, "\uff15.000000E-001".encode().ljust(16),
                                         "\\xef\\xbc\\x95.000000E-001")
    yield "exponent_without_digits", *bad_field(7, 1, b"1e".ljust(16), "1e")
    yield "lower_case_e", *bad_field(7, 2, b"5.000000e-001   ", "5.000000e-001")
    yield "two_exponent_digits", *bad_field(7, 2, b"5.000000E-01    ", "5.000000E-01")
    yield "plus_sign", *bad_field(7, 2, b"+5.000000E-001  ", "+5.000000E-001")
    yield "negative_zero", *bad_field(21, 1, b"-0.000000E+000  ", "-0.000000E+000")
    yield "leading_zero_digit", *bad_field(7, 1, b"0.500000E+000   ", "0.500000E+000")
    yield "exponent_beyond_a_double", *bad_field(8, 2, b"1.000000E+400   ", "1.000000E+400")
    yield "lower_case_nan", *bad_field(4, 2, b"nan".ljust(16), "nan")
    yield "infinity_in_full", *bad_field(52, 1, b"Infinity".rjust(15) + b" ", "Infinity",
                                         "right")
    yield "right_justified_in_a_left_block", \
        *bad_field(4, 1, b"  2.000000E-001 ", "2.000000E-001")
    yield "left_justified_in_a_right_block", \
        *bad_field(52, 2, b"9.810000E+003   ", "9.810000E+003", "right")
    yield "no_trailing_space", *bad_field(52, 1, b"   9.500250E+003", "9.500250E+003", "right")
    yield "nan_justified_as_a_left_field_in_a_right_block", \
        *bad_field(45, 1, b"NaN".ljust(16), "NaN", "right")
    yield "one_field_short_the_next_long", \
        with_line(4, b"2.000000E-001  2.000000E-001    "), \
        (4, 'field 1 is not a left-justified number in the writer\'s form: "2.000000E-001  2"')
    yield "data_line_one_field_short", with_line(4, LINES[3][:16]), (4, DATA_LINE)
    yield "heading_misspelt", with_line(6, b"Maturty"), (6, 'expected the heading "Maturity"')
    yield "block_one_line_too_many", joined(LINES[:8] + [LINES[7]] + LINES[8:]), \
        (9, 'expected the heading "Catch Weight at Age"')
    yield "block_one_line_too_few", joined(LINES[:4] + LINES[5:]), (5, DATA_LINE)
    short_fit = joined(LINES[:39] + LINES[40:])
    yield "index_block_one_line_too_few", short_fit, size_message(short_fit, len(TINY))
    yield "a_line_after_the_last_block", TINY + b"extra\r\n", \
        size_message(TINY + b"extra\r\n", len(TINY))
    yield "use_flag_zero", with_line(36, b" 0        "), size_message(TINY, len(TINY) - 5 * 34)
    yield "index_label_not_zero_filled", with_line(29, b"INDEX-1   "), \
        (29, "expected 1 index label in the writer's form")
    yield "index_value_left_justified", with_line(30, b"2         "), \
        (30, "expected 1 index value in the writer's form")
    yield "dimensions_one_space_apart", with_line(2, b"2 2000 2 1 1"), (2, DIMENSIONS)
    yield "dimensions_with_a_leading_zero", with_line(2, b"2  2000  02  1  1"), (2, DIMENSIONS)
    yield "dimensions_negative", with_line(2, b"2  2000  -2  1  1"), (2, DIMENSIONS)
    yield "dimensions_beyond_the_writer", with_line(2, b"999999999  1980  2  1  1"), \
        (2, DIMENSIONS)
    yield "dimensions_of_a_larger_run", grown, size_message(grown, smallest_size(
        LINES[0], thirty_thousand, 30000, 2, 1, 1), True)


def main():
    for old in HERE.glob("*.tmp"):
        old.unlink()
    rows = ["file\tline\tmessage"]
    for name, data, (line, message) in cases():
        (HERE / f"{name}.tmp").write_bytes(data)
        rows.append(f"{name}.tmp\t{'-' if line is None else line}\t{message}")
    (HERE / "cases.tsv").write_text("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
