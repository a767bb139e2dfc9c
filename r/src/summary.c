/* The summary's grammar, line by line: the title and dimension lines, the headings and line
   ends of the blocks, the index specification and the 16-byte number fields. R holds the layout
   (which block comes where, its heading and its labels); each entry point here reads one part
   of the file's bytes at the offset and line number R gives, or stops with the file, the line
   and what was expected there. */

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <R.h>
#include <Rinternals.h>

#include "fields.h"
#include "summary.h"
#include "summary_file.h"

typedef struct {
    const char* path;
    const unsigned char* bytes;
    R_xlen_t size;
    R_xlen_t at; /* the next line's first byte */
    int line;    /* the next line's number, from 1 */
} Cursor;

static Cursor cursor_at(SEXP path, SEXP file, double at, int line) {
    const SummaryFile* summary = summary_file(file);
    Cursor cursor = {translateChar(STRING_ELT(path, 0)), summary_bytes(summary),
                     (R_xlen_t)summary->size, (R_xlen_t)at, line};
    return cursor;
}

static void NORET fail(const Cursor* cursor, int line, const char* format, ...) {
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    errorcall(R_NilValue, "%s line %d: %s", cursor->path, line, message);
}

static void move_on(Cursor* cursor, R_xlen_t at) {
    cursor->at = at;
    ++cursor->line;
}

static int ends_line(const Cursor* cursor, R_xlen_t at) {
    return at >= 0 && at + 1 < cursor->size && cursor->bytes[at] == '\r' &&
           cursor->bytes[at + 1] == '\n';
}

/* The length of the next line up to its LF, which must follow a CR; -1 when it does not. */
static R_xlen_t text_line_length(const Cursor* cursor) {
    if (cursor->at >= cursor->size) return -1;
    const unsigned char* start = cursor->bytes + cursor->at;
    const unsigned char* end = memchr(start, '\n', (size_t)(cursor->size - cursor->at));
    if (end == NULL || end == start || end[-1] != '\r') return -1;
    return end - 1 - start;
}

static SEXP named_list(int n, const char* const* names, const SEXP* elements) {
    SEXP list = PROTECT(allocVector(VECSXP, n));
    SEXP list_names = PROTECT(allocVector(STRSXP, n));
    for (int k = 0; k < n; ++k) {
        SET_VECTOR_ELT(list, k, elements[k]);
        SET_STRING_ELT(list_names, k, mkChar(names[k]));
    }
    setAttrib(list, R_NamesSymbol, list_names);
    UNPROTECT(2);
    return list;
}

/* --- The title and dimension lines --- */

static const char line_end_wanted[] = "the line does not end in CR LF";
static const char dimensions_wanted[] =
    "expected five integers in the writer's form: years, first year, ages, fleets, indices";

/* Any bytes before the CR LF that ends the first line; a CR of its own stays. */
static SEXP take_title(Cursor* cursor) {
    const R_xlen_t length = text_line_length(cursor);
    if (length < 0) fail(cursor, cursor->line, line_end_wanted);
    SEXP title = allocVector(RAWSXP, length);
    memcpy(RAW(title), cursor->bytes, (size_t)length);
    move_on(cursor, length + 2);
    return title;
}

/* A 16-bit integer as "%d" writes it: an optional '-', then no leading zero, never -0.
   Returns the bytes taken, 0 when there is no such integer at `text`. */
static int take_integer(const unsigned char* text, R_xlen_t room, long* value) {
    const int negative = room > 0 && text[0] == '-';
    int digits = 0;
    long magnitude = 0;
    while (negative + digits < room && digits < 6 && text[negative + digits] >= '0' &&
           text[negative + digits] <= '9')
        magnitude = 10 * magnitude + (text[negative + digits++] - '0');
    const int leading_zero = digits > 1 && text[negative] == '0';
    if (digits == 0 || leading_zero || (negative && magnitude == 0) ||
        magnitude > (negative ? 32768 : 32767))
        return 0;
    *value = negative ? -magnitude : magnitude;
    return negative + digits;
}

/* Five integers, two spaces between them; only the first year may be negative. */
static SEXP take_dimensions(Cursor* cursor) {
    const R_xlen_t length = text_line_length(cursor);
    if (length < 0) fail(cursor, cursor->line, line_end_wanted);
    SEXP dims = PROTECT(allocVector(INTSXP, 5));
    const unsigned char* text = cursor->bytes + cursor->at;
    R_xlen_t at = 0;
    for (int d = 0; d < 5; ++d) {
        if (d > 0) {
            if (at + 2 > length || memcmp(text + at, "  ", 2) != 0)
                fail(cursor, cursor->line, dimensions_wanted);
            at += 2;
        }
        long value = 0;
        const int taken = take_integer(text + at, length - at, &value);
        if (taken == 0 || (d != 1 && value < 0)) fail(cursor, cursor->line, dimensions_wanted);
        INTEGER(dims)[d] = (int)value;
        at += taken;
    }
    if (at != length) fail(cursor, cursor->line, dimensions_wanted);
    move_on(cursor, cursor->at + length + 2);
    UNPROTECT(1);
    return dims;
}

SEXP read_head(SEXP path, SEXP file) {
    Cursor cursor = cursor_at(path, file, 0, 1);
    static const char* const names[] = {"title", "dims", "end"};
    SEXP title = PROTECT(take_title(&cursor));
    SEXP dims = PROTECT(take_dimensions(&cursor));
    SEXP end = PROTECT(ScalarReal((double)cursor.at));
    const SEXP elements[] = {title, dims, end};
    SEXP head = named_list(3, names, elements);
    UNPROTECT(3);
    return head;
}

/* --- Headings and the line ends of a block --- */

static void take_heading(Cursor* cursor, const char* heading) {
    const R_xlen_t length = (R_xlen_t)strlen(heading);
    if (length > cursor->size - cursor->at ||
        memcmp(cursor->bytes + cursor->at, heading, (size_t)length) != 0 ||
        !ends_line(cursor, cursor->at + length))
        fail(cursor, cursor->line, "expected the heading \"%s\"", heading);
    move_on(cursor, cursor->at + length + 2);
}

SEXP check_block(SEXP path, SEXP file, SEXP at, SEXP line, SEXP heading, SEXP n_lines,
                 SEXP n_years) {
    Cursor cursor = cursor_at(path, file, asReal(at), asInteger(line));
    take_heading(&cursor, CHAR(STRING_ELT(heading, 0)));
    const R_xlen_t width = FIELD_WIDTH * (R_xlen_t)asInteger(n_years);
    for (int k = asInteger(n_lines); k > 0; --k) {
        if (!ends_line(&cursor, cursor.at + width))
            fail(&cursor, cursor.line, "expected %ld bytes, 16 per year, then CR LF", (long)width);
        move_on(&cursor, cursor.at + width + 2);
    }
    return R_NilValue;
}

/* --- The index specification block --- */

enum { SPEC_VALUES = 7 };

/* "INDEX-01  INDEX-02  ...": each index's number zero-filled to two digits, two spaces. */
static void take_labels(Cursor* cursor, int n_indices) {
    const char* message = "expected %d index label%s in the writer's form";
    const R_xlen_t length = text_line_length(cursor);
    R_xlen_t at = 0;
    for (int i = 1; i <= n_indices && length >= 0; ++i) {
        char label[32];
        const int width = snprintf(label, sizeof label, "INDEX-%02d  ", i);
        if (width > length - at || memcmp(cursor->bytes + cursor->at + at, label, (size_t)width))
            break;
        at += width;
    }
    if (length < 0 || at != length)
        fail(cursor, cursor->line, message, n_indices, n_indices == 1 ? "" : "s");
    move_on(cursor, cursor->at + length + 2);
}

/* "%2d" and eight spaces per index: one digit after a space, or an integer of two bytes and
   more; into `values`, one per index. */
static void take_values(Cursor* cursor, int n_indices, int* values) {
    const char* message = "expected %d index value%s in the writer's form";
    const R_xlen_t length = text_line_length(cursor);
    const unsigned char* text = cursor->bytes + cursor->at;
    R_xlen_t at = 0;
    int taken_values = 0;
    for (; taken_values < n_indices && length >= 0; ++taken_values) {
        const int padded = at < length && text[at] == ' ';
        long value = 0;
        const int taken = take_integer(text + at + padded, length - at - padded, &value);
        const R_xlen_t end = at + padded + taken;
        if (taken == 0 || (padded ? taken != 1 : taken < 2) || end + 8 > length ||
            memcmp(text + end, "        ", 8) != 0)
            break;
        values[taken_values] = (int)value;
        at = end + 8;
    }
    if (length < 0 || taken_values != n_indices || at != length)
        fail(cursor, cursor->line, message, n_indices, n_indices == 1 ? "" : "s");
    move_on(cursor, cursor->at + length + 2);
}

SEXP read_index_spec(SEXP path, SEXP file, SEXP at, SEXP line, SEXP heading, SEXP n_indices) {
    Cursor cursor = cursor_at(path, file, asReal(at), asInteger(line));
    const int n = asInteger(n_indices);
    take_heading(&cursor, CHAR(STRING_ELT(heading, 0)));
    take_labels(&cursor, n);
    SEXP values = PROTECT(allocMatrix(INTSXP, n, SPEC_VALUES));
    for (int k = 0; k < SPEC_VALUES; ++k)
        take_values(&cursor, n, INTEGER(values) + (R_xlen_t)n * k);
    static const char* const names[] = {"values", "end"};
    SEXP end = PROTECT(ScalarReal((double)cursor.at));
    const SEXP elements[] = {values, end};
    SEXP index_spec = named_list(2, names, elements);
    UNPROTECT(2);
    return index_spec;
}

/* --- The number fields --- */

/* The field without its spaces at both ends; a byte that does not print, '"' and '\' as
   \xhh. */
static void quote_field(const unsigned char* field, char* out) {
    int first = 0, last = FIELD_WIDTH;
    while (first < last && field[first] == ' ')
        ++first;
    while (last > first && field[last - 1] == ' ')
        --last;
    for (int n = first; n < last; ++n) {
        const unsigned char c = field[n];
        if (c >= ' ' && c <= '~' && c != '"' && c != '\\')
            *out++ = (char)c;
        else
            out += sprintf(out, "\\x%02x", c);
    }
    *out = '\0';
}

static void NORET fail_field(const Cursor* cursor, R_xlen_t n, const unsigned char* field,
                             int right_justified) {
    char quoted[4 * FIELD_WIDTH + 1];
    quote_field(field, quoted);
    fail(cursor, cursor->line,
         "field %ld is not a %s-justified number in the writer's form: \"%s\"", (long)n + 1,
         right_justified ? "right" : "left", quoted);
}

/* The numbers of a block whose heading and line ends are checked, starting at its first data
   line: one line per label (and kind, kinds changing fastest) and one field per year, as an
   array of `shape`, [label, year] or [label, kind, year]. */
SEXP read_fields(SEXP path, SEXP file, SEXP at, SEXP line, SEXP shape, SEXP right_justified) {
    Cursor cursor = cursor_at(path, file, asReal(at), asInteger(line));
    const int rank = LENGTH(shape);
    const R_xlen_t n_labels = INTEGER(shape)[0];
    const R_xlen_t n_kinds = rank == 3 ? INTEGER(shape)[1] : 1;
    const R_xlen_t n_years = INTEGER(shape)[rank - 1];
    const int right = asLogical(right_justified);
    SEXP values = PROTECT(allocVector(REALSXP, n_labels * n_kinds * n_years));
    for (R_xlen_t label = 0; label < n_labels; ++label) {
        for (R_xlen_t kind = 0; kind < n_kinds; ++kind) {
            /* Line `kind` of label `label` holds the array's row label + n_labels * kind. */
            double* out = REAL(values) + label + n_labels * kind;
            const unsigned char* field = cursor.bytes + cursor.at;
            for (R_xlen_t year = 0; year < n_years; ++year, field += FIELD_WIDTH) {
                if (!parse_field(field, right, out + year * n_labels * n_kinds))
                    fail_field(&cursor, year, field, right);
            }
            move_on(&cursor, cursor.at + FIELD_WIDTH * n_years + 2);
        }
    }
    UNPROTECT(1);
    return values;
}
