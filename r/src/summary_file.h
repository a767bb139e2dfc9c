#ifndef SCANTELK_SUMMARY_FILE_H
#define SCANTELK_SUMMARY_FILE_H

#include <stddef.h>

#include <Rinternals.h>

typedef struct {
    unsigned char* bytes; /* NULL for an empty file */
    size_t size;
} SummaryFile;

/* Entry points for .Call: the file's bytes behind an external pointer, released by
   close_summary or by R's collection of the pointer; their count. */
SEXP open_summary(SEXP path);
SEXP close_summary(SEXP pointer);
SEXP summary_size(SEXP pointer);

/* The open file behind a pointer (an error once it is closed), and its bytes, never NULL. */
const SummaryFile* summary_file(SEXP pointer);
const unsigned char* summary_bytes(const SummaryFile* file);

#endif
