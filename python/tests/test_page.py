import collections
import os
import re
import subprocess
import sys
from html.parser import HTMLParser
from pathlib import Path

import html5lib
import pytest
from xml.etree import ElementTree

import scantelk
from conftest import REPO, golden, legends_clear_of_panels
from scantelk.page import Source, render, report_page
from scantelk.page_diagnostics import index_items, stock_recruitment_items
from scantelk.page_figures import composition_items, fishing_items, stock_items, used_indices
from scantelk.page_html import Drawn
from scantelk.page_runs import is_retrospective_set

SVG = "{http://www.w3.org/2000/svg}"

WORKED = REPO / "python" / "scantelk" / "data" / "retro"
RUN_SECTIONS = ["stock", "stock-recruitment", "fishing", "indices", "composition", "fits",
                "biology", "tables"]


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
        elif tag in ("td", "th", "h1", "h2", "li") or (tag == "p" and attributes.get("class") == "absent"):
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
        elif tag in ("h1", "li"):
            setattr(self, tag, [*getattr(self, tag, []), self._text])
        elif tag == "p" and self._text is not None:
            self._section["absent"].append(self._text)
        elif tag == "table":
            self._table = None
        if tag in ("td", "th", "h1", "h2", "li", "p"):
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
    (["--fleets", "0"], {"fishing": 0, "composition": 1},
     {"fishing": "has no fleets", "composition": "has no fleets"}),
    (["--ages", "0"], {"stock": 0, "stock-recruitment": 0, "fishing": 1, "indices": 0,
                       "biology": 0, "tables": 0},
     {"stock": "has no ages", "biology": "has no ages", "tables": "has no ages"}),
    (["--years", "0"], {"stock": 0, "stock-recruitment": 0, "fishing": 0, "indices": 0,
                        "composition": 0, "biology": 0},
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
    drawn_in_full = {"stock": 3, "stock-recruitment": 1, "fishing": 2, "indices": 4,
                     "composition": 3, "fits": 0, "biology": 1, "tables": 0}
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


@pytest.mark.parametrize("count, options", [(25, {}), (3, {"ensemble": True})])
def test_many_runs_are_an_ensemble_with_no_line_or_legend_entry_per_run(tmp_path, count, options):
    binary = os.environ.get("SCANTELK_BINARY", str(REPO / "build" / "scantelk"))
    subprocess.run([sys.executable, REPO / "scripts" / "make_run.py", tmp_path / "sim",
                    "--replicates", str(count), "--seed", "7", "--years", "6", "--ages", "3"],
                   check=True)
    subprocess.run([binary, *sorted(tmp_path.glob("sim-*.dat"))], check=True)
    summaries = sorted(tmp_path.glob("sim-*.tmp"))
    page = page_of(*summaries, **options)
    text = (tmp_path / "page.html").read_text()
    assert list(page.sections) == ["ensemble"] + RUN_SECTIONS
    quantiles = scantelk.quantiles({path.stem: path for path in summaries})
    last = quantiles[quantiles["year"] == scantelk.read(summaries[0])["years"][-1]]
    assert [row[1:] for row in page.tables["ensemble-quantiles"][1:]] == [
        [f"{value:.7g}" for value in last.loc[last["quantity"] == quantity, "value"]]
        + [str(count)] for quantity in ("ssb", "recruitment", "f")]
    assert "<details><summary>" in text and "<details open" not in text
    assert [row[0] for row in page.tables["runs"][1:]] == [path.stem for path in summaries]
    svg_texts = {element.text for svg in re.findall(r"<svg.*?</svg>", text, re.DOTALL)
                 for element in ElementTree.fromstring(svg).iter(SVG + "text")}
    assert not svg_texts & {path.stem for path in summaries}


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
    # The page is checked first: these name the page, not the missing summary.
    (["missing.tmp", "-o", "no/such/folder/run.html"],
     "no/such/folder/run.html: No such file or directory"),
    (["missing.tmp", "-o", "."], ".: Is a directory"),
    (["missing.tmp", "-o", ""], "the page's name is empty"),
    (["missing.tmp", "-o", "LOCKED/run.html"], "LOCKED/run.html: Permission denied"),
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
    # A folder that no one may write to: root may write to any folder but those of /sys.
    locked = tmp_path / "locked" if os.geteuid() else Path("/sys")
    if os.geteuid():
        locked.mkdir(mode=0o555)
    message = message.replace("LOCKED", str(locked))
    arguments = [argument.replace("LOCKED", str(locked)) for argument in arguments]
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


# (6) What the run lacks is said before any figure; the diagnostics hold the run's numbers.

def truncated(tmp_path, *options) -> Path:
    """A run whose report ends two rows into "Population Numbers", converted with `options`."""
    binary = os.environ.get("SCANTELK_BINARY", str(REPO / "build" / "scantelk"))
    subprocess.run([sys.executable, REPO / "scripts" / "make_run.py", tmp_path / "run",
                    "--years", "4", "--ages", "3"], check=True)
    report_text = (tmp_path / "run.rep").read_text().splitlines(keepends=True)
    cut = report_text.index("Population Numbers\n") + 3
    (tmp_path / "run.rep").write_text("".join(report_text[:cut]))
    subprocess.run([binary, *options, tmp_path / "run.dat"], check=True)
    return tmp_path / "run.tmp"


@pytest.mark.parametrize("options, items", [
    (["--nan"], ["Stock numbers: 1982-1983 missing", "SSB: 1980-1983 missing",
                 "Observed and predicted recruitment (in the recruits' own years): "
                 "1981-1984 missing"]),
    ([], []),
])
def test_what_a_run_lacks_is_said_before_any_figure(tmp_path, options, items):
    page = page_of(truncated(tmp_path, *options))
    text = (tmp_path / "page.html").read_text()
    assert text.index('<div id="completeness"') < text.index("<svg")
    assert [item for item in page.li if "missing" in item] == items
    zeros = "SSB is exactly zero in 1980-1983; every stock number is exactly zero in 1982-1983"
    assert (zeros in text and "scantelk --warn --nan" in text) == (not options)
    assert "no value of spawning stock biomass" in page.sections["stock"]["absent"][0] or \
        "reports no spawning stock biomass" in page.sections["stock"]["absent"][0]


def test_a_complete_run_has_no_completeness_box():
    assert 'id="completeness"' not in render([Source("haddock", golden("haddock"),
                                                scantelk.read(golden("haddock")), 0.0)])


def test_index_residuals_count_only_years_with_an_observed_value():
    run = scantelk.read(golden("haddock"))
    fit = run["index_fit"]
    years = run["years"]
    fit.loc[(1, "observed"), years[:2]] = [0.0, float("nan")]  # no survey in these years
    fit.loc[(1, "std_residual")] = [9.0, 9.0] + [(-1.0) ** k for k in range(len(years) - 2)]
    fit.loc[(2, "predicted"), years[5]] = -1.0
    *figures, table = index_items(run)
    assert table.html.count("<tr>") == 1 + len(used_indices(run))
    assert '<th class="text">Index 1</th><td>38</td><td>0.000</td><td>1.000</td>' in table.html
    assert ["logarithmic" in item.caption for item in figures[:2]] == [True, False]


@pytest.mark.parametrize("with_fits", [True, False])
def test_the_fits_are_drawn_when_their_csv_stands_beside_the_summary(tmp_path, with_fits):
    for name in ["tiny.tmp", "tiny.fits.csv"][:1 + with_fits]:
        (tmp_path / name).write_bytes(golden("tiny").with_name(name).read_bytes())
    page = page_of(tmp_path / "tiny.tmp")
    text = (tmp_path / "page.html").read_text()
    assert page.sections["fits"]["figures"] == with_fits
    assert ("convert" in text and "scantelk --fits" in text) == (not with_fits)


def test_no_legend_of_a_run_covers_a_panel():
    run = scantelk.read(golden("haddock"))
    drawn = [item.figure for items in (stock_items(run), stock_recruitment_items(run),
                                       fishing_items(run, 1), index_items(run),
                                       composition_items(run))
             for item in items if isinstance(item, Drawn)]
    with_legends = [figure for figure in drawn if any(axes.get_legend() for axes in figure.axes)]
    assert len(with_legends) >= 6 and all(map(legends_clear_of_panels, with_legends))


# (7) Titles, names and paths are text: shown as given, and the page stays well-formed.

@pytest.mark.parametrize("given, shown", [
    ("cost $5 or $6", "cost $5 or $6"),
    ("$\\frac$", "$\\frac$"),
    ('id="x" url(#x) <b>&amp;', 'id="x" url(#x) <b>&amp;'),
    ("bell\x07 tab\t del\x7f", "bell\ufffd tab\t del\ufffd"),
    ("byte \udcff end", "byte \ufffd end"),  # a file name that is not UTF-8
])
def test_titles_names_and_paths_are_shown_as_given(tmp_path, given, shown):
    summaries = [tmp_path / f"{given}.tmp", tmp_path / "other.tmp"]
    for summary in summaries:
        summary.write_bytes(golden("tiny").read_bytes())
    page = report_page(summaries, tmp_path / "page.html", title=given)
    text = page.read_text(encoding="utf-8")
    html5lib.HTMLParser(strict=True).parse(text)
    svg_texts = [element.text for svg in re.findall(r"<svg.*?</svg>", text, re.DOTALL)
                 for element in ElementTree.fromstring(svg).iter(SVG + "text")]
    assert shown.replace("\t", " ") in svg_texts  # the run's name in the comparison's legend
    assert Page(page).h1 == [shown]
