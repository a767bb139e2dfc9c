#ifndef SCANTELK_SUMMARY_H
#define SCANTELK_SUMMARY_H

#include <Rinternals.h>

/* Entry points for .Call: `path` is the file's path as the caller gave it, for messages, and
   `file` the pointer that open_summary gives. */
SEXP read_head(SEXP path, SEXP file);
SEXP check_block(SEXP path, SEXP file, SEXP at, SEXP line, SEXP heading, SEXP n_lines,
                 SEXP n_years);
SEXP read_index_spec(SEXP path, SEXP file, SEXP at, SEXP line, SEXP heading, SEXP n_indices);
SEXP read_fields(SEXP path, SEXP file, SEXP at, SEXP line, SEXP shape, SEXP right_justified);
SEXP strtod_numbers(SEXP text);

#endif
