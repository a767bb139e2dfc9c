#include <stdlib.h>

#include <R_ext/Rdynload.h>
#include <Rinternals.h>

#include "fits.h"
#include "summary.h"
#include "summary_file.h"

/* C's own reading of each string as a number, correctly rounded; the tests compare the
   summary's fast parse with it. */
SEXP strtod_numbers(SEXP text) {
    const R_xlen_t n = XLENGTH(text);
    SEXP values = PROTECT(allocVector(REALSXP, n));
    for (R_xlen_t k = 0; k < n; ++k)
        REAL(values)[k] = strtod(CHAR(STRING_ELT(text, k)), NULL);
    UNPROTECT(1);
    return values;
}

static const R_CallMethodDef call_methods[] = {{"open_summary", (DL_FUNC)&open_summary, 1},
                                               {"close_summary", (DL_FUNC)&close_summary, 1},
                                               {"summary_size", (DL_FUNC)&summary_size, 1},
                                               {"read_head", (DL_FUNC)&read_head, 2},
                                               {"check_block", (DL_FUNC)&check_block, 7},
                                               {"read_index_spec", (DL_FUNC)&read_index_spec, 6},
                                               {"read_fields", (DL_FUNC)&read_fields, 6},
                                               {"strtod_numbers", (DL_FUNC)&strtod_numbers, 1},
                                               {"read_fits_lines", (DL_FUNC)&read_fits_lines, 3},
                                               {NULL, NULL, 0}};

void R_init_scantelk(DllInfo* dll) {
    R_registerRoutines(dll, NULL, call_methods, NULL, NULL);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
}
