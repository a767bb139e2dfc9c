#ifndef SCANTELK_FITS_H
#define SCANTELK_FITS_H

#include <Rinternals.h>

/* Entry point for .Call: the lines of an open fits CSV (open_summary opens it as it opens a
   summary) under the given header and table names, as a list of six columns; or, for a file
   not in the program's form, list(fault, line, byte, text) of the first fault. */
SEXP read_fits_lines(SEXP pointer, SEXP header, SEXP tables);

#endif
