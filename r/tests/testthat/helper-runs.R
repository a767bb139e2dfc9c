# The bundled copy of the repository's tests/golden/tiny.tmp.
tiny_path <- function() system.file("extdata", "tiny.tmp", package = "scantelk")

# A file of the repository; skipped when the package is checked without it.
repo_file <- function(...) {
  skip_if(Sys.getenv("SCANTELK_SOURCE_DIR") == "", "SCANTELK_SOURCE_DIR is not set")
  file.path(Sys.getenv("SCANTELK_SOURCE_DIR"), ...)
}

# A run of 4 years and 3 ages from scripts/make_run.py, its input data file's lines changed by
# `edit`, summarised by the scantelk that SCANTELK_BINARY names and read back.
make_run <- function(..., edit = identity) {
  skip_if(Sys.getenv("SCANTELK_BINARY") == "", "SCANTELK_BINARY is not set")
  base <- tempfile("run")
  arguments <- c(repo_file("scripts", "make_run.py"), base, "--years", "4", "--ages", "3", ...)
  expect_equal(system2(Sys.getenv("SCANTELK_PYTHON", "python3"), shQuote(arguments)), 0)
  dat <- paste0(base, ".dat")
  writeLines(edit(readLines(dat)), dat)
  expect_equal(system2(Sys.getenv("SCANTELK_BINARY"), shQuote(dat)), 0)
  read_scantelk(paste0(base, ".tmp"))
}

# A summary of these lines, each ended by CR LF as the writer ends them.
write_summary <- function(lines) {
  path <- tempfile(fileext = ".tmp")
  writeBin(charToRaw(paste0(lines, "\r\n", collapse = "")), path)
  path
}
