#ifndef SCANTELK_SUMMARY_H
#define SCANTELK_SUMMARY_H

#include <Rinternals.h>

/* Entry points for .Call; path is the file's path as the caller gave it, for messages, and
   bytes the whole file. */
SEXP read_head(SEXP path, SEXP bytes);
SEXP check_block(SEXP path, SEXP bytes, SEXP at, SEXP line, SEXP heading, SEXP n_lines,
                 SEXP n_years);
SEXP read_index_spec(SEXP path, SEXP bytes, SEXP at, SEXP line, SEXP heading, SEXP n_indices);
SEXP read_fields(SEXP path, SEXP bytes, SEXP at, SEXP line, SEXP shape, SEXP right_justified);
SEXP strtod_numbers(SEXP text);

#endif
