"""Parses the 16-byte number fields of a summary, many at a time, into correctly rounded doubles.

A field is read as two little-endian 64-bit words. Shifting a field's words by its padding and
sign leaves every number in one place, "d.dddddd" and "E+eee   ", so that the checks on its
characters and the digit arithmetic are a few whole-array operations on words.
"""
from __future__ import annotations

from typing import Optional

import numpy as np

FIELD_WIDTH = 16
_CHUNK = 1 << 13  # fields per step: the temporaries stay in the processor's cache

_WORD = np.dtype("<u8")
_HIGH_NIBBLES = np.uint64(0xF0F0F0F0F0F0F0F0)
_SIX = np.uint64(0x0606060606060606)
# The characters of 0.000000 and E+000 followed by three spaces, as the normalized words hold them.
_HEAD_CHARACTERS = np.uint64(int.from_bytes(b"0.000000", "little"))
_TAIL_CHARACTERS = np.uint64(int.from_bytes(b"E+000   ", "little"))
_TAIL_DIGITS = np.uint64(0x000000FFFFFF0000)
_EXPONENT_MINUS = np.uint64(ord("+") ^ ord("-")) << np.uint64(8)
# Exact powers of ten: a mantissa of seven digits times or divided by one of them is one
# correctly rounded operation.
_POWERS = 10.0 ** np.arange(23)
_FAST_EXPONENTS = (-16, 28)  # |exponent - 6| <= 22
# The smallest and largest magnitudes a double shows in seven digits.
_SMALLEST = (-324, 4940656)
_LARGEST = (308, 1797693)


def _u64(value: int) -> np.uint64:
    return np.uint64(value)


def _special_words(right: bool) -> dict[bytes, float]:
    words = {}
    for text, value in ((b"NaN", np.nan), (b"Inf", np.inf), (b"-Inf", -np.inf)):
        field = text.rjust(FIELD_WIDTH - 1) + b" " if right else text.ljust(FIELD_WIDTH)
        words[field] = value
    return words


_SPECIALS = {False: _special_words(False), True: _special_words(True)}


class BadField(Exception):
    """The first field of a block that is not a number in the writer's form."""

    def __init__(self, row: int, column: int) -> None:
        super().__init__(row, column)
        self.row, self.column = row, column


def parse_fields(fields: np.ndarray, right: bool, out: np.ndarray) -> None:
    """Writes the numbers of a (lines, 16 * years) uint8 array of fields to the (lines, years)
    array `out`; both C-contiguous.

    `right` tells that the fields are right-justified. Raises BadField for the first field, in
    line order, that is not a number in the writer's form for such a field.
    """
    width = fields.shape[1]
    words = fields.view(_WORD).reshape(-1, 2)
    values = out.reshape(-1)
    for start in range(0, len(words), _CHUNK):
        chunk = slice(start, start + _CHUNK)
        bad = _parse_chunk(words[chunk, 0], words[chunk, 1], right, values[chunk])
        if bad is not None:
            raise BadField(*divmod(start + bad, width // FIELD_WIDTH))


def _parse_chunk(head: np.ndarray, tail: np.ndarray, right: bool,
                 out: np.ndarray) -> Optional[int]:
    """Writes the chunk's numbers to `out`; the position of its first bad field, if any."""
    raw = head, tail
    head, tail, negative, in_place = _normalize(head, tail, right)
    digits = head ^ _HEAD_CHARACTERS  # the digits' values; the point's byte is 0
    marks = tail ^ _TAIL_CHARACTERS
    exponent_negative = (marks & _u64(0xFF00)) == _EXPONENT_MINUS
    marks[exponent_negative] ^= _EXPONENT_MINUS
    good = in_place & _digit_bytes(digits, _u64(0xFFFFFFFFFFFF00FF), _u64(0xFF00))
    good &= _digit_bytes(marks, _TAIL_DIGITS, ~_TAIL_DIGITS)

    mantissa = _eight_digits(digits)
    mantissa -= (digits & _u64(0xFF)) * _u64(9_000_000)  # the point's place held a 0
    mantissa = mantissa.astype(np.int64)
    magnitude = _three_digits(marks >> _u64(16))
    exponent = np.where(exponent_negative, -magnitude, magnitude)
    leading_zero = mantissa < 1_000_000
    zero = leading_zero & (mantissa == 0) & (magnitude == 0) & ~exponent_negative & ~negative
    good &= zero | (~leading_zero & ~(exponent_negative & (magnitude == 0)))

    scale = exponent - 6
    np.copyto(out, mantissa)
    power = _POWERS[np.minimum(np.abs(scale), 22)]
    np.multiply(out, power, out=out, where=scale >= 0)
    np.divide(out, power, out=out, where=scale < 0)
    np.negative(out, out=out, where=negative)

    slow = good & ((exponent < _FAST_EXPONENTS[0]) | (exponent > _FAST_EXPONENTS[1]))
    for at in np.flatnonzero(slow):
        good[at] = _read_slowly(int(mantissa[at]), int(exponent[at]), bool(negative[at]), out, at)
    if good.all():
        return None
    return _place_specials(*raw, right, good, out)


def _normalize(head: np.ndarray, tail: np.ndarray,
               right: bool) -> tuple[np.ndarray, np.ndarray, np.ndarray, np.ndarray]:
    """The words moved so that each number starts its field; its sign; whether the padding
    before the number is the writer's."""
    if right:
        # Two bytes before the number: two spaces, or a space and the minus sign.
        prefix = head & _u64(0xFFFF)
        negative = prefix == _u64(0x2D20)
        in_place = negative | (prefix == _u64(0x2020))
        return ((head >> _u64(16)) | (tail << _u64(48)),
                (tail >> _u64(16)) | _u64(0x2020 << 48), negative, in_place)
    negative = (head & _u64(0xFF)) == _u64(ord("-"))
    if negative.any():
        head = np.where(negative, (head >> _u64(8)) | (tail << _u64(56)), head)
        tail = np.where(negative, (tail >> _u64(8)) | _u64(0x20 << 56), tail)
    return head, tail, negative, np.ones(len(head), dtype=bool)


def _digit_bytes(word: np.ndarray, digits: np.uint64, zeros: np.uint64) -> np.ndarray:
    """Whether the bytes under `digits` hold the values 0 to 9 and those under `zeros` 0."""
    return (((word & (_HIGH_NIBBLES & digits | zeros)) == 0)
            & (((word + (_SIX & digits)) & _HIGH_NIBBLES & digits) == 0))


def _eight_digits(word: np.ndarray) -> np.ndarray:
    """The number whose decimal digits are the word's bytes, the first byte leading."""
    word = word * _u64(10) + (word >> _u64(8))
    word &= _u64(0x00FF00FF00FF00FF)
    word = word * _u64(100) + (word >> _u64(16))
    word &= _u64(0x0000FFFF0000FFFF)
    word = word * _u64(10000) + (word >> _u64(32))
    return word & _u64(0xFFFFFFFF)


def _three_digits(word: np.ndarray) -> np.ndarray:
    return ((word & _u64(0xFF)) * _u64(100) + ((word >> _u64(8)) & _u64(0xFF)) * _u64(10)
            + ((word >> _u64(16)) & _u64(0xFF))).astype(np.int64)


def _read_slowly(mantissa: int, exponent: int, negative: bool, out: np.ndarray, at: int) -> bool:
    """A number beyond the exact powers of ten, read by Python's correctly rounded float();
    False when a double cannot show it as the writer would."""
    if (exponent, mantissa) < _SMALLEST or (exponent, mantissa) > _LARGEST:
        return False
    out[at] = float(f"{'-' if negative else ''}{mantissa}e{exponent - 6}")
    return True


def _place_specials(head: np.ndarray, tail: np.ndarray, right: bool, good: np.ndarray,
                    out: np.ndarray) -> Optional[int]:
    """Writes NaN, Inf and -Inf among the fields found bad; the first field still bad."""
    specials = _SPECIALS[right]
    for at in np.flatnonzero(~good):
        field = int(head[at]).to_bytes(8, "little") + int(tail[at]).to_bytes(8, "little")
        if field not in specials:
            return int(at)
        out[at] = specials[field]
    return None
