/* Reads the fits CSV that scantelk --fits writes, in one pass over its bytes: every line is
   checked against the form the program writes and converted as it is checked. A file not in
   that form gives the first fault found, which the R side words. */

#include "fits.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <R_ext/Arith.h>

#include "summary_file.h"

enum { N_TABLES = 4, N_TOTALS = 2, MAX_DIGITS = 9 };

typedef struct {
    int table, fleet, year, age;
    double observed, predicted;
} FitsLine;

/* Each take_ function reads what it names at *at and moves *at past it; where the text is
   anything else it returns 0 and leaves *at. Every line ends with a line end, which none of
   them takes but take_number at the line's end, so none reads past a line. */
static int take_char(const unsigned char** at, unsigned char c) {
    if (**at != c) return 0;
    ++*at;
    return 1;
}

static int take_word(const unsigned char** at, const char* word) {
    const unsigned char* p = *at;
    for (; *word != '\0'; ++word, ++p)
        if (*p != (unsigned char)*word) return 0;
    *at = p;
    return 1;
}

/* One to nine digits. */
static int take_whole(const unsigned char** at, int* value) {
    const unsigned char* p = *at;
    int n_digits = 0;
    int64_t whole = 0; /* ten digits at most, beyond a 32-bit long */
    for (; *p >= '0' && *p <= '9' && n_digits <= MAX_DIGITS; ++p, ++n_digits)
        whole = 10 * whole + (*p - '0');
    if (n_digits == 0 || n_digits > MAX_DIGITS) return 0;
    *value = (int)whole;
    *at = p;
    return 1;
}

/* Powers of ten that a double holds exactly: a whole number up to 2^53 times or divided by one
   of them is one correctly rounded operation. */
static const double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
enum { LARGEST_EXACT_POWER = 22 };
static const uint64_t largest_exact_whole = (uint64_t)1 << 53;

/* The digits at *at, one or more, added to *whole while it stays exact; returns their count. */
static int take_digits(const unsigned char** at, uint64_t* whole, int* exact) {
    const unsigned char* p = *at;
    for (; *p >= '0' && *p <= '9'; ++p) {
        *exact = *exact && *whole <= largest_exact_whole / 10;
        if (*exact) *whole = 10 * *whole + (uint64_t)(*p - '0');
        *exact = *exact && *whole <= largest_exact_whole;
    }
    const int count = (int)(p - *at);
    *at = p;
    return count;
}

/* -?D+(.D+)?(e[+-]D+)?: its nearest double, as Python's float() reads it. Computed directly
   where the digits make an exact whole number and the power of ten is exact; by strtod, which
   rounds correctly, otherwise. */
static int take_decimal(const unsigned char** at, double* value) {
    const unsigned char* p = *at;
    const int negative = take_char(&p, '-');
    uint64_t whole = 0;
    int exact = 1;
    if (take_digits(&p, &whole, &exact) == 0) return 0;
    long scale = 0;
    if (take_char(&p, '.')) {
        const int n_decimals = take_digits(&p, &whole, &exact);
        if (n_decimals == 0) return 0;
        scale = -n_decimals;
    }
    if (take_char(&p, 'e')) {
        const int exponent_negative = *p == '-';
        if (!take_char(&p, '+') && !take_char(&p, '-')) return 0;
        uint64_t exponent = 0;
        int exponent_exact = 1;
        if (take_digits(&p, &exponent, &exponent_exact) == 0) return 0;
        /* Beyond any double's range: left to strtod. */
        if (!exponent_exact || exponent > 1000)
            exact = 0;
        else
            scale += exponent_negative ? -(long)exponent : (long)exponent;
    }
    if (exact && scale >= -LARGEST_EXACT_POWER && scale <= LARGEST_EXACT_POWER) {
        const double magnitude =
            scale >= 0 ? (double)whole * exact_powers[scale] : (double)whole / exact_powers[-scale];
        *value = negative ? -magnitude : magnitude;
    } else
        *value = strtod((const char*)*at, NULL);
    *at = p;
    return 1;
}

/* A value followed by `end`: empty (NA), NaN, Inf, -Inf or a decimal. */
static int take_number(const unsigned char** at, unsigned char end, double* value) {
    const unsigned char* p = *at;
    if (*p == end)
        *value = NA_REAL;
    else if (take_word(&p, "NaN"))
        *value = R_NaN;
    else if (take_word(&p, "Inf"))
        *value = R_PosInf;
    else if (take_word(&p, "-Inf"))
        *value = R_NegInf;
    else if (!take_decimal(&p, value))
        return 0;
    if (*p != end) return 0;
    *at = p + 1;
    return 1;
}

/* table,fleet,year,age,observed,predicted and the line end; a total has no age. */
static int take_line(const unsigned char** at, const char* const* tables, FitsLine* line) {
    const unsigned char* p = *at;
    line->table = -1;
    for (int t = 0; t < N_TABLES && line->table < 0; ++t) {
        const unsigned char* name_end = p;
        if (take_word(&name_end, tables[t]) && take_char(&name_end, ',')) {
            line->table = t;
            p = name_end;
        }
    }
    if (line->table < 0 || !take_whole(&p, &line->fleet) || !take_char(&p, ',')) return 0;
    const int negative = take_char(&p, '-');
    if (!take_whole(&p, &line->year) || !take_char(&p, ',')) return 0;
    if (negative) line->year = -line->year;
    line->age = NA_INTEGER;
    if (line->table >= N_TOTALS && !take_whole(&p, &line->age)) return 0;
    if (!take_char(&p, ',') || !take_number(&p, ',', &line->observed) ||
        !take_number(&p, '\n', &line->predicted))
        return 0;
    *at = p;
    return 1;
}

/* Whether `line` comes after `before` in the program's order: by table, fleet, year and age,
   a total's missing age counting as 0. */
static int comes_after(const FitsLine* before, const FitsLine* line) {
    const int keys[2][4] = {
        {before->table, before->fleet, before->year, before->age == NA_INTEGER ? 0 : before->age},
        {line->table, line->fleet, line->year, line->age == NA_INTEGER ? 0 : line->age}};
    for (int k = 0; k < 4; ++k)
        if (keys[0][k] != keys[1][k]) return keys[1][k] > keys[0][k];
    return 0;
}

/* list(fault, line, byte, text): what is wrong, on which line, the odd byte, the bad line. */
static SEXP fault(const char* what, double line, int byte, const unsigned char* text,
                  size_t length) {
    const char* names[] = {"fault", "line", "byte", "text", ""};
    SEXP found = PROTECT(mkNamed(VECSXP, names));
    SET_VECTOR_ELT(found, 0, mkString(what));
    SET_VECTOR_ELT(found, 1, ScalarReal(line));
    SET_VECTOR_ELT(found, 2, ScalarInteger(byte));
    SET_VECTOR_ELT(found, 3, ScalarString(mkCharLen((const char*)text, (int)length)));
    UNPROTECT(1);
    return found;
}

/* The fault found, unless a byte of the file is neither printable ASCII nor a line end: that
   one comes first. A file read without a fault has no such byte, as every byte of its lines is
   checked, so the file is searched for one only after a fault. */
static SEXP first_fault(const unsigned char* bytes, size_t size, const char* what, double line,
                        const unsigned char* text, size_t length) {
    double line_ends = 0;
    for (size_t k = 0; k < size; ++k) {
        if (bytes[k] == '\n')
            ++line_ends;
        else if (bytes[k] < 0x20 || bytes[k] > 0x7e)
            return fault("byte", line_ends + 1, bytes[k], bytes, 0);
    }
    return fault(what, line, 0, text, length);
}

static size_t count_line_ends(const unsigned char* bytes, size_t size) {
    size_t count = 0;
    for (const unsigned char* p = bytes; (p = memchr(p, '\n', size - (size_t)(p - bytes))) != NULL;
         ++p)
        ++count;
    return count;
}

static SEXP columns(R_xlen_t n_lines) {
    const char* names[] = {"table", "fleet", "year", "age", "observed", "predicted", ""};
    SEXP read = PROTECT(mkNamed(VECSXP, names));
    const SEXPTYPE types[] = {STRSXP, INTSXP, INTSXP, INTSXP, REALSXP, REALSXP};
    for (int c = 0; c < 6; ++c)
        SET_VECTOR_ELT(read, c, allocVector(types[c], n_lines));
    UNPROTECT(1);
    return read;
}

SEXP read_fits_lines(SEXP pointer, SEXP header, SEXP tables) {
    const SummaryFile* file = summary_file(pointer);
    const unsigned char* bytes = summary_bytes(file);
    const size_t size = file->size;
    const size_t line_ends = count_line_ends(bytes, size);
    const char* head = CHAR(STRING_ELT(header, 0));
    const size_t head_size = strlen(head);
    if (size <= head_size || memcmp(bytes, head, head_size) != 0 || bytes[head_size] != '\n')
        return first_fault(bytes, size, "header", 1, bytes, 0);
    if (bytes[size - 1] != '\n')
        return first_fault(bytes, size, "end", (double)line_ends + 1, bytes, 0);

    const char* names[N_TABLES];
    for (int t = 0; t < N_TABLES; ++t)
        names[t] = CHAR(STRING_ELT(tables, t));
    const R_xlen_t n_lines = (R_xlen_t)line_ends - 1;
    SEXP read = PROTECT(columns(n_lines));
    SEXP table = VECTOR_ELT(read, 0);
    int *fleet = INTEGER(VECTOR_ELT(read, 1)), *year = INTEGER(VECTOR_ELT(read, 2)),
        *age = INTEGER(VECTOR_ELT(read, 3));
    double *observed = REAL(VECTOR_ELT(read, 4)), *predicted = REAL(VECTOR_ELT(read, 5));
    /* Every line's form is checked before the order, so a bad line is named first. */
    R_xlen_t out_of_order = -1;
    FitsLine line, before = {0};
    const unsigned char* at = bytes + head_size + 1;
    for (R_xlen_t n = 0; n < n_lines; ++n) {
        const unsigned char* start = at;
        if (!take_line(&at, names, &line)) {
            const size_t rest = size - (size_t)(start - bytes);
            const unsigned char* end = memchr(start, '\n', rest);
            UNPROTECT(1);
            return first_fault(bytes, size, "line", (double)n + 2, start, (size_t)(end - start));
        }
        if (n > 0 && out_of_order < 0 && !comes_after(&before, &line)) out_of_order = n;
        before = line;
        SET_STRING_ELT(table, n, STRING_ELT(tables, line.table));
        fleet[n] = line.fleet;
        year[n] = line.year;
        age[n] = line.age;
        observed[n] = line.observed;
        predicted[n] = line.predicted;
    }
    UNPROTECT(1);
    if (out_of_order >= 0)
        return first_fault(bytes, size, "order", (double)out_of_order + 2, bytes, 0);
    return read;
}
