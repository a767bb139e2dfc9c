"""The report page's building blocks: the items a section holds, and how each is written in HTML.

A section is a list of items: a `Drawn` figure with its caption, an `Absent` sentence that
stands for a figure the data cannot give, a `Table`, a `Note` or a ready `Block` of HTML.
Every text that comes from a user or a file passes through `plain` first.
"""
from __future__ import annotations

import html
import io
import itertools
import math
import re
from dataclasses import dataclass
from typing import Any, Iterator, Sequence, Union

import matplotlib
import pandas as pd
from matplotlib.figure import Figure

# Figures are as wide as the page (WIDE, in inches) or as half of it, so that every figure is
# shown at the same scale and its text in the same size.
WIDE, HALF = 12.5, 6.1

# No date, creator or format: the page is the same whenever it is made from the same files.
_NO_METADATA = {"Date": None, "Creator": None, "Format": None, "Type": None}
# matplotlib's style for the whole figure, which the page's own style holds once.
_FIGURE_STYLE = re.compile(r'<defs>\s*<style type="text/css">\*\{[^}]*\}</style>\s*</defs>\s*')
# Characters that XML forbids or that would act on the text: C0 controls but tab, DEL, lone
# surrogates and the two non-characters U+FFFE and U+FFFF.
_NOT_TEXT = re.compile("[\x00-\x08\x0a-\x1f\x7f\ud800-\udfff\ufffe\uffff]")


@dataclass
class Drawn:
    figure: Figure
    caption: str

    @property
    def wide(self) -> bool:
        return self.figure.get_figwidth() > HALF


@dataclass
class Absent:
    sentence: str


@dataclass
class Table:
    html: str


@dataclass
class Note:
    text: str


@dataclass
class Block:
    html: str


Item = Union[Drawn, Absent, Table, Note, Block]


def plain(text: str) -> str:
    """`text` as the page shows it: the bytes of a path or an argument that were not UTF-8
    (which Python keeps as lone surrogates) and the control characters as U+FFFD."""
    try:
        text = text.encode("utf-8", "surrogateescape").decode("utf-8", "replace")
    except UnicodeEncodeError:  # a surrogate that stands for no byte: _NOT_TEXT replaces it
        pass
    return _NOT_TEXT.sub("\ufffd", text)


def table(identifier: str, caption: str, frame: pd.DataFrame, text_columns: int = 0) -> Table:
    """A table whose first column heads the rows; numbers shown to seven significant digits,
    as the summary holds them."""
    def cell(tag: str, value: Any, column: int) -> str:
        css = ' class="text"' if column < text_columns else ""
        text = value if isinstance(value, str) else number(value)
        return f"<{tag}{css}>{html.escape(plain(text))}</{tag}>"

    head = "".join(cell("th", name, n) for n, name in enumerate(frame.columns))
    rows = "\n".join(
        "<tr>" + "".join(cell("th" if n == 0 else "td", value, n)
                         for n, value in enumerate(row)) + "</tr>"
        for row in frame.itertuples(index=False, name=None))
    return Table(f'<div class="table"><table id="{identifier}">'
                 f"<caption>{html.escape(plain(caption))}</caption>\n"
                 f"<thead><tr>{head}</tr></thead>\n<tbody>\n{rows}\n</tbody></table></div>")


def number(value: float) -> str:
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "Inf" if value > 0 else "-Inf"
    return f"{value:.7g}"


def year_ranges(years: Sequence[int]) -> str:
    """Years as runs of consecutive years: 1990, 1995-1999."""
    runs = []
    for _, group in itertools.groupby(enumerate(sorted(years)), lambda item: item[1] - item[0]):
        chosen = [year for _, year in group]
        runs.append(str(chosen[0]) if len(chosen) == 1 else f"{chosen[0]}-{chosen[-1]}")
    return ", ".join(runs)


def section(key: str, heading: str, items: list, number: Iterator[int]) -> str:
    """The section's heading, then its items in order: figures and the sentences that stand for
    figures in a grid, tables side by side as far as the width allows, notes as paragraphs."""
    blocks = []
    for kind, group in itertools.groupby(items, key=_layout):
        if kind == "figures":
            blocks.append('<div class="figures">\n'
                          + "\n".join(_figure(item, number) for item in group) + "\n</div>")
        elif kind == "tables":
            blocks.append('<div class="tables">\n'
                          + "\n".join(item.html for item in group) + "\n</div>")
        elif kind == "blocks":
            blocks += [item.html for item in group]
        else:
            blocks += [f'<p class="note">{html.escape(plain(item.text))}</p>' for item in group]
    return (f'<section id="{key}">\n<h2>{html.escape(heading)}</h2>\n'
            + "\n".join(blocks) + "\n</section>")


def _layout(item: Item) -> str:
    if isinstance(item, (Drawn, Absent)):
        return "figures"
    return {Table: "tables", Block: "blocks"}.get(type(item), "notes")


def _figure(item: Union[Drawn, Absent], number: Iterator[int]) -> str:
    if isinstance(item, Absent):
        return f'<p class="absent">{html.escape(plain(item.sentence))}</p>'
    css = ' class="wide"' if item.wide else ""
    return (f"<figure{css}>\n{svg(item.figure, next(number))}\n"
            f"<figcaption>{html.escape(plain(item.caption))}</figcaption>\n</figure>")


def svg(figure: Figure, number: int) -> str:
    """The figure as inline SVG, its ids made unique within the page."""
    buffer = io.StringIO()
    with matplotlib.rc_context({"svg.fonttype": "none", "svg.hashsalt": "scantelk"}):
        figure.savefig(buffer, format="svg", metadata=_NO_METADATA)
    text = buffer.getvalue()
    text = _FIGURE_STYLE.sub("", text[text.index("<svg"):], count=1)
    text = re.sub(r"<!--.*?-->\n?", "", text, flags=re.DOTALL)
    return prefix_ids(text, f"figure-{number}-").strip()


def prefix_ids(text: str, prefix: str) -> str:
    """`text` with every id attribute and every reference to one (url(#...), href="#...")
    prefixed; only tags are touched, never the text between them."""
    def in_tag(tag: re.Match) -> str:
        return re.sub(r'(\sid="|\shref="#|\sxlink:href="#|url\(#)', rf"\g<1>{prefix}",
                      tag.group())

    return re.sub(r"<[^>]*>", in_tag, text)
