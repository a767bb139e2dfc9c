"""Many runs in one long table: the summaries of a simulation study or an ensemble, read one
after another, by a pool of processes or on a Dask cluster, into the long form of compare()."""
from __future__ import annotations

import glob
import os
import sys
from concurrent.futures import ProcessPoolExecutor
from typing import Any, Iterable, Iterator, Optional, Protocol, Sequence, Union

import numpy as np
import pandas as pd

from scantelk.long_form import LongArrays, long_arrays, long_frame
from scantelk.reader import PathLike, labelled, parse

Paths = Union[PathLike, Sequence[PathLike]]
# Below this many files a progress bar would flash by.
_PROGRESS_FROM = 100


def gather(paths: Paths, names: Optional[Sequence[str]] = None, workers: int = 1,
           client: Any = None, progress: bool = True) -> pd.DataFrame:
    """The long form of many runs, as :func:`scantelk.compare` gives it, with ``run`` first.

    ``paths`` is a list of summary paths or a glob pattern such as ``"runs/*.tmp"``, whose
    matches are taken in sorted order. ``names`` name the runs, by default the file names
    without their extension; a name given to two files is refused, naming both. The runs
    follow each other in the order of ``paths``.

    The files are read in this process, by ``workers`` processes, or, given ``client`` (a
    ``dask.distributed.Client``), on the cluster's workers; the table is the same every way.
    Only the summaries are read, not a fits CSV beside one, which the long form does not hold.
    A file that cannot be read stops the gather with a ValueError naming it. With
    ``progress``, a bar on standard error counts the files when there are more than 100 and
    standard error is a terminal (tqdm's bar when tqdm is installed).
    """
    files = _expand(paths)
    labels = run_names(files, names)
    if workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    if client is not None and workers != 1:
        raise ValueError("give workers or client, not both")
    bar = _progress_bar(len(files)) if progress and _shows_progress(len(files)) else None
    results: Iterable[LongArrays]
    if client is not None:
        results = _on_cluster(client, files, bar)
    else:
        read_all = _in_processes(workers, files) if workers > 1 else map(read_long, files)
        results = _counted(read_all, bar) if bar else read_all
    return long_frame(_shared_layouts(results), labels)


def _expand(paths: Paths) -> list[str]:
    """The files of a list, of one path, or of a glob pattern (one path with * ? or [)."""
    if not isinstance(paths, (str, bytes, os.PathLike)):
        return [os.fspath(path) for path in paths]
    pattern = os.fsdecode(paths)
    if not any(wildcard in pattern for wildcard in "*?["):
        return [pattern]
    files = sorted(glob.glob(pattern))
    if not files:
        raise ValueError(f"no file matches {pattern}")
    return files


def run_names(files: Sequence[str], names: Optional[Sequence[str]]) -> list[str]:
    """The runs' names: ``names``, or each file's name without its extension; each once."""
    if names is None:
        names = [os.path.splitext(os.path.basename(file))[0] for file in files]
    elif len(names) != len(files):
        raise ValueError(f"{len(names)} names for {len(files)} files")
    first: dict[str, str] = {}
    for name, file in zip(names, files):
        if name in first:
            raise ValueError(f'two runs are named "{name}": {first[name]} and {file}')
        first[name] = file
    return list(names)


def read_long(path: PathLike) -> LongArrays:
    """A summary's long form as arrays, as long_arrays(read(path)) gives it; what each worker
    does with its files. The labels of a shape are made once, from the first run of it, and
    each further run of that shape adds only its numbers, which the file holds in the long
    form's order."""
    try:
        parsed = parse(path)
    except OSError as error:
        raise ValueError(f"{os.fspath(path)}: {error.strerror or error}") from None
    shape = (tuple(parsed.dims.values()), tuple(parsed.index_values[-1] != 0))
    layout = _LAYOUTS.get(shape)
    if layout is None:
        layout = _LAYOUTS[shape] = long_arrays(labelled(parsed))
    values = [block.ravel() for block in parsed.values.values()]
    return layout._replace(value=np.concatenate(values) if values else layout.value)


# The long-form labels of each shape of summary met, by its dimensions and used indices.
_LAYOUTS: dict[tuple, LongArrays] = {}


def _in_processes(workers: int, files: list[str]) -> Iterator[LongArrays]:
    # Files go out in chunks, a few per worker, so that a message per file costs nothing.
    chunk = max(1, min(64, len(files) // (4 * workers)))
    pool = ProcessPoolExecutor(max_workers=workers)
    try:
        yield from pool.map(read_long, files, chunksize=chunk)
    finally:
        # After a failure, the files not yet begun are not read.
        pool.shutdown(wait=True, cancel_futures=True)


def _on_cluster(client: Any, files: list[str], bar: Optional[_Bar]) -> list[LongArrays]:
    from distributed import as_completed

    futures = client.map(read_long, files)
    try:
        # In the order they finish, so that a failing file stops the gather at once.
        for future in as_completed(futures):
            if future.status == "error":
                future.result()
            if bar:
                bar.update()
        return client.gather(futures)
    finally:
        client.cancel(futures)
        if bar:
            bar.close()


def _shows_progress(total: int) -> bool:
    return total > _PROGRESS_FROM and sys.stderr.isatty()


class _Bar(Protocol):
    def update(self) -> Any: ...

    def close(self) -> Any: ...


class _Counter:
    """A count of the files read, on standard error, where tqdm is not installed."""

    def __init__(self, total: int) -> None:
        self.done, self.total = 0, total

    def update(self) -> None:
        self.done += 1
        sys.stderr.write(f"\rgathered {self.done} of {self.total} files")

    def close(self) -> None:
        sys.stderr.write("\n")


def _progress_bar(total: int) -> _Bar:
    try:
        from tqdm import tqdm
    except ImportError:
        return _Counter(total)
    return tqdm(total=total, unit="file", file=sys.stderr)


def _counted(results: Iterable[LongArrays], bar: _Bar) -> Iterator[LongArrays]:
    try:
        for result in results:
            bar.update()
            yield result
    finally:
        bar.close()


def _shared_layouts(results: Iterable[LongArrays]) -> list[LongArrays]:
    """The results, each run whose labels equal the previous run's made to share that run's
    arrays: runs from other processes arrive with copies of their own."""
    shared: list[LongArrays] = []
    for result in results:
        last = shared[-1] if shared else None
        if last is not None and last.block is not result.block and _same_layout(last, result):
            result = last._replace(value=result.value)
        shared.append(result)
    return shared


def _same_layout(a: LongArrays, b: LongArrays) -> bool:
    return all(np.array_equal(x, y) for x, y in zip(a[:4], b[:4]))
