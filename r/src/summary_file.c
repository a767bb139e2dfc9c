/* A summary file's bytes for the reader: mapped into memory where the system can, so that a
   large file is neither copied nor held twice; read whole otherwise. The bytes live until
   close_summary or, after an error, until R collects the pointer. */

#include "summary_file.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <R.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

static const unsigned char no_bytes[1] = {0};

static void NORET fail_open(const char* path, int error) {
    errorcall(R_NilValue, "cannot read %s: %s", path, strerror(error));
}

#ifndef _WIN32
static void NORET fail_closing(int descriptor, const char* path) {
    const int error = errno;
    close(descriptor);
    fail_open(path, error);
}

static void take_bytes(SummaryFile* file, const char* path) {
    const int descriptor = open(path, O_RDONLY);
    if (descriptor < 0) fail_open(path, errno);
    struct stat status;
    if (fstat(descriptor, &status) != 0) fail_closing(descriptor, path);
    if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        fail_closing(descriptor, path);
    }
    void* mapped = NULL; /* an empty file cannot be mapped */
    if (status.st_size > 0) {
        mapped = mmap(NULL, (size_t)status.st_size, PROT_READ, MAP_PRIVATE, descriptor, 0);
        if (mapped == MAP_FAILED) fail_closing(descriptor, path);
    }
    close(descriptor);
    file->size = (size_t)status.st_size;
    file->bytes = mapped;
}

static void release_bytes(SummaryFile* file) {
    if (file->bytes != NULL) munmap(file->bytes, file->size);
}
#else
static void take_bytes(SummaryFile* file, const char* path) {
    FILE* stream = fopen(path, "rb");
    if (stream == NULL) fail_open(path, errno);
    long size = -1;
    if (fseek(stream, 0, SEEK_END) == 0) size = ftell(stream);
    if (size < 0 || fseek(stream, 0, SEEK_SET) != 0) {
        fclose(stream);
        fail_open(path, errno);
    }
    file->size = (size_t)size;
    file->bytes = malloc(file->size > 0 ? file->size : 1);
    const int read = file->bytes != NULL && fread(file->bytes, 1, file->size, stream) == file->size;
    fclose(stream);
    if (!read) fail_open(path, errno);
}

static void release_bytes(SummaryFile* file) {
    free(file->bytes);
}
#endif

static void release(SEXP pointer) {
    SummaryFile* file = R_ExternalPtrAddr(pointer);
    if (file == NULL) return;
    release_bytes(file);
    free(file);
    R_ClearExternalPtr(pointer);
}

SEXP open_summary(SEXP path) {
    const char* name = R_ExpandFileName(translateChar(STRING_ELT(path, 0)));
    SummaryFile* file = calloc(1, sizeof *file);
    if (file == NULL) errorcall(R_NilValue, "cannot read %s: out of memory", name);
    /* Owned by the pointer first, so that a failure below leaks nothing. */
    SEXP pointer = PROTECT(R_MakeExternalPtr(file, R_NilValue, R_NilValue));
    R_RegisterCFinalizerEx(pointer, release, TRUE);
    take_bytes(file, name);
    UNPROTECT(1);
    return pointer;
}

SEXP close_summary(SEXP pointer) {
    release(pointer);
    return R_NilValue;
}

SEXP summary_size(SEXP pointer) {
    return ScalarReal((double)summary_file(pointer)->size);
}

const SummaryFile* summary_file(SEXP pointer) {
    const SummaryFile* file = R_ExternalPtrAddr(pointer);
    if (file == NULL) errorcall(R_NilValue, "the summary file is closed");
    return file;
}

const unsigned char* summary_bytes(const SummaryFile* file) {
    return file->bytes != NULL ? file->bytes : no_bytes;
}
