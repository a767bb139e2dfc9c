import collections
import os
import subprocess
import sys
from html.parser import HTMLParser
from pathlib import Path

import pytest

import scantelk
from conftest import REPO, golden
from scantelk.page import is_retrospective_set, report_page

WORKED = REPO / "python" / "scantelk" / "data" / "retro"
RUN_SECTIONS = ["stock", "fishing", "indices", "composition", "biology", "tables"]


class Page(HTMLParser):
    """What the tests look at in a page: its tables by id, and per section its heading, its
    figures and the sentences that stand for left-out figures; every id and reference."""

    def __init__(self, path: Path):
        super().__init__()
        self.tables, self.sections, self.links = {}, {}, []
        self.ids, self.references, self.tags = [], [], collections.Counter()
        self._section = self._table = self._text = None
        self.feed(path.read_text(encoding="utf-8"))

    def handle_starttag(self, tag, attributes):
        attributes = dict(attributes)
        self.tags[tag] += 1
        self.ids += [attributes["id"]] if "id" in attributes else []
        self.references += [value for name, value in attributes.items()
                            if name in ("src", "href", "xlink:href")]
        if tag == "section":
            self._section = self.sections[attributes["id"]] = {"figures": 0, "absent": []}
        elif tag == "figure":
            self._section["figures"] += 1
        elif tag == "table":
            self._table = self.tables[attributes["id"]] = []
        elif tag == "tr" and self._table is not None:
            self._table.append([])
        elif tag in ("td", "th", "h2") or (tag == "p" and attributes.get("class") == "absent"):
            self._text = ""
        if tag == "a" and attributes.get("href", "").startswith("#"):
            self.links.append(attributes["href"][1:])

    def handle_data(self, data):
        if self._text is not None:
            self._text += data

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self._table is not None:
            self._table[-1].append(self._text)
        elif tag == "h2":
            self._section["heading"] = self._text
        elif tag == "p" and self._text is not None:
            self._section["absent"].append(self._text)
        elif tag == "table":
            self._table = None
        if tag in ("td", "th", "h2", "p"):
            self._text = None


def page_of(*summaries, **options) -> Page:
    return Page(report_page(summaries, Path(summaries[0]).with_name("page.html"), **options))


def report(*arguments, cwd):
    return subprocess.run([sys.executable, "-m", "scantelk", "report", *map(str, arguments)],
                          cwd=cwd, capture_output=True, text=True,
                          env={**os.environ, "PYTHONPATH": str(REPO / "python")})


# (1) The tables hold the reader's values.

def test_key_quantities_and_stock_numbers_hold_the_readers_values(tmp_path):
    # The generator writes fewer digits than a summary holds: give three blocks seven.
    lines = golden("haddock").read_bytes().split(b"\r\n")
    for heading, field in [(b"Average F", b"  1.234567E-001 "),
                           (b"Stock Numbers", b"7.654321E+005   "),
                           (b"Spawning Stock Biomass", b"  9.876543E+002 ")]:
        assert len(field) == 16
        at = lines.index(heading) + 1
        lines[at] = lines[at][:16] + field + lines[at][32:]
    summary = tmp_path / "haddock.tmp"
    summary.write_bytes(b"\r\n".join(lines))
    run, page = scantelk.read(summary), page_of(summary)
    header, *rows = page.tables["key-quantities"]
    assert header == ["Year", "SSB", "Recruitment", "F1", "F2", "F3"]
    assert [int(row[0]) for row in rows] == run["years"]
    assert [[float(value) for value in row[1:]] for row in rows] == [
        [run["ssb"][year], run["stock_numbers"].loc[1, year],
         *run["average_f"][year].tolist()] for year in run["years"]]
    header, *rows = page.tables["stock-numbers"]
    assert header == ["Year"] + [f"Age {age}" for age in range(1, 11)]
    assert [[float(value) for value in row[1:]] for row in rows] == \
        run["stock_numbers"].T.to_numpy().tolist()


# (2) Figures a run cannot have are left out, each with its sentence; headings and links stay.

@pytest.mark.parametrize("arguments, counts, sentences", [
    (["--indices", "0"], {"indices": 0, "composition": 2},
     {"indices": "has no survey index", "composition": "has no survey index"}),
    (["--indices", "1", "--unused", "1"], {"indices": 0, "composition": 2},
     {"indices": "None of the run's 1 survey indices is used"}),
    (["--fleets", "0"], {"fishing": 1, "composition": 1},
     {"fishing": "has no fleets", "composition": "has no fleets"}),
    (["--ages", "0"], {"stock": 2, "biology": 0, "tables": 0},
     {"stock": "has no ages", "biology": "has no ages", "tables": "has no ages"}),
    (["--years", "0"], {"stock": 0, "fishing": 0, "indices": 0, "composition": 0, "biology": 0},
     {"stock": "has no model years"}),
])
def test_figures_a_run_cannot_have_are_left_out_with_a_sentence(make_run, tmp_path, arguments,
                                                                counts, sentences):
    make_run(*arguments)
    page = page_of(tmp_path / "run.tmp")
    assert list(page.sections) == RUN_SECTIONS == page.links
    assert all(section["heading"] for section in page.sections.values())
    for key, sentence in sentences.items():
        assert any(sentence in text for text in page.sections[key]["absent"]), key
    drawn_in_full = {"stock": 3, "fishing": 2, "indices": 4, "composition": 3, "biology": 1,
                     "tables": 0}
    assert {key: page.sections[key]["figures"] for key in RUN_SECTIONS} == {**drawn_in_full,
                                                                            **counts}
    years = scantelk.read(tmp_path / "run.tmp")["years"]
    assert len(page.tables["key-quantities"]) == 1 + len(years)


# (3) Several runs: the comparison, and for a retrospective set the readers' Mohn's rho.

def test_a_retrospective_set_gives_the_readers_mohns_rho(tmp_path):
    for name in ("base", "peel1", "peel2"):
        (tmp_path / f"{name}.tmp").write_bytes((WORKED / f"{name}.tmp").read_bytes())
    summaries = [tmp_path / f"{name}.tmp" for name in ("peel2", "base", "peel1")]
    page = page_of(*summaries, f_column=2)
    assert list(page.sections) == ["compare", "retro"] + RUN_SECTIONS
    rho = scantelk.mohns_rho({path.stem: path for path in summaries}, f_column=2)
    assert page.tables["mohns-rho"] == [["Quantity", "Mohn's rho"], ["SSB", f"{rho['ssb']:.3f}"],
                                        ["F", f"{rho['f']:.3f}"],
                                        ["Recruitment", f"{rho['recruitment']:.3f}"]]
    assert [row[:2] for row in page.tables["last-year"][1:]] == [
        ["peel2", "2007"], ["base", "2009"], ["peel1", "2008"]]
    assert page.sections["compare"]["figures"] == page.sections["retro"]["figures"] == 1


@pytest.mark.parametrize("first_years, last_years, retrospective", [
    ([1980, 1980, 1980], [2000, 1999, 1998], True),
    ([1980, 1981], [2000, 1999], False),     # different first years: runs to compare only
    ([1980, 1980, 1980], [2000, 1999, 1999], False),
    ([1980], [2000], False),
])
def test_only_runs_sharing_their_first_year_and_ending_apart_are_a_retrospective_set(
        first_years, last_years, retrospective):
    runs = [{"years": list(range(first, last + 1))} for first, last in zip(first_years, last_years)]
    assert is_retrospective_set(runs) is retrospective


def test_runs_are_named_by_their_file_names_or_by_names_given(tmp_path):
    for folder in ("a", "b"):
        (tmp_path / folder).mkdir()
        (tmp_path / folder / "run.tmp").write_bytes(golden("tiny").read_bytes())
    same_names = [tmp_path / "a" / "run.tmp", tmp_path / "b" / "run.tmp"]
    assert [row[0] for row in page_of(*same_names).tables["last-year"][1:]] == \
        [str(path) for path in same_names]
    named = page_of(*same_names, names=["old", "new"])
    assert [row[0] for row in named.tables["last-year"][1:]] == ["old", "new"]


# (4) The page needs nothing beside it.

@pytest.mark.parametrize("summaries", [["haddock"], ["haddock", "fleets", "tiny"]])
def test_every_reference_of_the_page_points_inside_it(tmp_path, summaries):
    paths = []
    for name in summaries:
        paths.append(tmp_path / f"{name}.tmp")
        paths[-1].write_bytes(golden(name).read_bytes())
    page = page_of(*paths)
    assert page.references and all(ref.startswith("#") for ref in page.references)
    assert {ref[1:] for ref in page.references} <= set(page.ids)
    assert len(page.ids) == len(set(page.ids)), "an id used twice"
    assert page.tags["style"] == 1 and page.tags["svg"] == page.tags["figure"] > 0
    assert not {"script", "img", "link", "iframe", "object", "embed"} & set(page.tags)
    assert "url(" not in (tmp_path / "page.html").read_text().replace("url(#", "")


# (5) The command: one line for each failure and no page; an existing page replaced whole.

@pytest.mark.parametrize("arguments, message", [
    (["damaged.tmp"], "damaged.tmp line 7: expected 32 bytes, 16 per year, then CR LF"),
    (["missing.tmp", "-o", "run.html"], "missing.tmp: No such file or directory"),
    (["run.tmp", "-o", "run.tmp"], "the page run.tmp would replace its input run.tmp"),
    (["run.tmp", "run.tmp", "-o", "run.html"], "two runs have the same name: run.tmp"),
    (["run.tmp", "damaged.tmp", "-o", "run.html", "--names", "a"], "1 names given for 2"),
    (["run.tmp", "-o", "no/such/folder/run.html"], "No such file or directory"),
    (["run.tmp", "--f-column", "4"], "argument --f-column: invalid choice: 4"),
])
def test_a_failure_is_one_line_with_status_1_and_leaves_the_page_as_it_was(tmp_path, arguments,
                                                                          message):
    text = golden("tiny").read_bytes()
    (tmp_path / "run.tmp").write_bytes(text)
    lines = text.split(b"\r\n")
    (tmp_path / "damaged.tmp").write_bytes(b"\r\n".join(lines[:6] + [b"1.0"] + lines[7:]))
    (tmp_path / "run.html").write_text("the old page")
    (tmp_path / "damaged.html").write_text("the old page")
    before = sorted(tmp_path.iterdir())
    result = report(*arguments, cwd=tmp_path)
    assert (result.returncode, result.stdout) == (1, "")
    assert result.stderr.count("\n") == 1 and message in result.stderr
    assert "Traceback" not in result.stderr
    assert sorted(tmp_path.iterdir()) == before
    assert (tmp_path / "run.html").read_text() == (tmp_path / "damaged.html").read_text() == \
        "the old page"
    assert (tmp_path / "run.tmp").read_bytes() == text


def test_an_existing_page_is_replaced_whole_by_a_page_beside_the_first_summary(tmp_path):
    (tmp_path / "model.run2.tmp").write_bytes(golden("tiny").read_bytes())
    page = tmp_path / "model.run2.html"
    page.write_text("x" * 2_000_000)
    page.chmod(0o600)
    result = report("model.run2.tmp", cwd=tmp_path)
    assert (result.returncode, result.stdout, result.stderr) == (0, "", "")
    text = page.read_text()
    assert text.startswith("<!DOCTYPE html>") and text.endswith("</html>\n") and "xxx" not in text
    assert sorted(path.name for path in tmp_path.iterdir()) == ["model.run2.html",
                                                                "model.run2.tmp"]
    umask = os.umask(0)
    os.umask(umask)
    assert page.stat().st_mode & 0o777 == 0o666 & ~umask
