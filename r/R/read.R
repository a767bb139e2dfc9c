# The summary is read front to back. Every block's length follows from the dimension line, so
# each heading is checked where it must stand, never searched for: a title may equal a heading.

#' Read a scantelk summary file
#'
#' Reads the summary file that \command{scantelk} writes after a TELK model run
#' (\file{run.tmp}) and returns every table by name, labelled by age, fleet,
#' index and year.
#'
#' The file is read front to back; the dimension line on its second line fixes
#' the length of every block. Its lines end in CR LF: only LF ends a line, and
#' the one CR before it is dropped, so that a title holding a CR of its own
#' (from a file converted to CR LF twice) is read with that CR. Each value is
#' the double nearest to its field's text, as R's own number reading gives it;
#' the fields \code{Inf}, \code{-Inf} and \code{NaN} read as \code{Inf},
#' \code{-Inf} and \code{NaN}.
#'
#' A zero may stand for a value the model's report lacked: a missing report
#' section, a year without a survey row or a short report row are all written
#' as zeros. \command{scantelk --warn run.dat} names them, and
#' \command{scantelk --nan run.dat} writes them as \code{NaN} instead, which
#' reads as \code{NaN} and leaves a gap in plots.
#'
#' A file that is not a summary (a missing heading, a block cut short, a line
#' with the wrong number of fields, a dimension line that does not parse) stops
#' with an error that names the file and the line.
#'
#' @param path path of the summary file.
#' @return A list of class \code{"scantelk"}:
#'   \item{title}{the run title.}
#'   \item{years}{the model years, integer.}
#'   \item{dims}{named integer: \code{n_years}, \code{first_year},
#'     \code{n_ages}, \code{n_fleets}, \code{n_indices}.}
#'   \item{natural_mortality, maturity, catch_weight_at_age, ssb_weight_at_age,
#'     jan1_weight_at_age}{matrices \code{[age, year]}, ages \code{"1"} to
#'     \code{"A"}.}
#'   \item{catch_weight, discard_weight}{matrices \code{[fleet, year]}.}
#'   \item{catch_ess, discard_ess}{arrays \code{[fleet, kind, year]} of input and
#'     effective sample sizes, kind \code{c("input", "effective")}.}
#'   \item{index_spec}{a data frame, one row per index: \code{index},
#'     \code{value1} to \code{value6} and \code{use} as the file gives them, and
#'     \code{used}, \code{use != 0}: any non-zero flag, negative ones included,
#'     marks a used index.}
#'   \item{index_fit}{array \code{[index, kind, year]} for the used indices only,
#'     each labelled by its number among all indices; kind
#'     \code{c("observed", "predicted", "std_residual")}.}
#'   \item{index_ess}{array \code{[index, kind, year]} of the used indices' input
#'     and effective sample sizes.}
#'   \item{average_f}{matrix \code{[column, year]}, columns \code{"1"} to
#'     \code{"3"}.}
#'   \item{stock_numbers}{matrix \code{[age, year]}.}
#'   \item{ssb}{spawning stock biomass, a vector named by year.}
#'   \item{recruitment}{matrix \code{[kind, year]}, kind
#'     \code{c("observed", "predicted")}. Its years are the recruits' own: the
#'     model reports, on the row of year y, the recruits of year y + 1, so that
#'     value is labelled y + 1 and the years run one later than \code{years}.}
#'   \item{fits}{only when \command{scantelk --fits} wrote \file{run.fits.csv}
#'     beside the summary (the summary's name with the extension of its file name
#'     replaced by \file{.fits.csv}) and it is not older than the summary: the
#'     observed and predicted catch and proportions at age, as
#'     \code{\link{read_fits}} reads them. An older CSV, left by an earlier run,
#'     is left out with a warning.}
#'   \code{print} shows the title, the years, the dimensions and the names of the
#'   tables, and returns \code{x} invisibly.
#' @seealso
#'   \code{\link{as.data.frame.scantelk}} for the long form,
#'   \code{\link{plot.scantelk}}, \code{\link{scantelk_compare}}.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' run
#' run$stock_numbers
#' run$index_fit[, "observed", ]
#' @export
read_scantelk <- function(path) {
  lines <- summary_lines(path)
  title <- take_lines(lines, 1, "before the title")
  dims <- read_dimensions(lines)
  years <- dims[["first_year"]] + seq_len(dims[["n_years"]]) - 1L
  ages <- list(age = seq_len(dims[["n_ages"]]))
  fleets <- list(fleet = seq_len(dims[["n_fleets"]]))
  sample_sizes <- c("input", "effective")

  x <- list(title = title, years = years, dims = dims)
  x$natural_mortality <- read_table(lines, "Natural Mortality", ages, years)
  x$maturity <- read_table(lines, "Maturity", ages, years)
  x$catch_weight_at_age <- read_table(lines, "Catch Weight at Age", ages, years)
  x$ssb_weight_at_age <- read_table(lines, "Spawning Stock Weight at Age", ages, years)
  x$jan1_weight_at_age <- read_table(lines, "Jan-1 Weight at Age", ages, years)
  x$catch_weight <- read_table(lines, "Catch Weight by Fleet", fleets, years)
  x$discard_weight <- read_table(lines, "Discard Weight by Fleet", fleets, years)
  x$catch_ess <- read_kinds(lines, "Catch - Input & Effective Sample Size", fleets,
                            sample_sizes, years)
  x$discard_ess <- read_kinds(lines, "Discard - Input & Effective Sample Size", fleets,
                              sample_sizes, years)
  x$index_spec <- read_index_spec(lines, dims[["n_indices"]])
  # Only used indices have lines; each keeps its number among all indices as its label.
  used <- list(index = x$index_spec$index[x$index_spec$used])
  x$index_fit <- read_kinds(lines, "Index Observed, Predicted, Standardized Residual", used,
                            c("observed", "predicted", "std_residual"), years)
  x$index_ess <- read_kinds(lines, "Index Input & Effective Sample Size", used,
                            sample_sizes, years)
  x$average_f <- read_table(lines, "Average F", list(column = 1:3), years)
  x$stock_numbers <- read_table(lines, "Stock Numbers", ages, years)
  ssb <- read_table(lines, "Spawning Stock Biomass", list(row = 1L), years)
  # Not ssb[1, ], which drops the year's name of a run of one year.
  x$ssb <- structure(as.vector(ssb), names = colnames(ssb))
  # The model reports on year y's line the recruits of year y + 1.
  x$recruitment <- read_table(lines, "Observed & Predicted Recruitment",
                              list(kind = c("observed", "predicted")), years + 1L)
  if (lines$at < length(lines$text)) {
    fail(lines, lines$at + 1L, "expected the end of the file after the last block")
  }
  x$fits <- fits_beside(path)
  structure(x, class = "scantelk")
}

# The file's lines and how many of them have been read; each reader below moves `at` on.
summary_lines <- function(path) {
  lines <- new.env(parent = emptyenv())
  lines$path <- path
  lines$text <- read_lines(path)
  lines$at <- 0L
  lines
}

# The summary's lines end in CR LF. Only LF ends a line and the one CR before it is dropped,
# so that a CR of a title's own stays in the title; readLines() would end a line there too.
read_lines <- function(path) {
  file <- file(path, "rb")
  on.exit(close(file))
  bytes <- readBin(file, "raw", file.info(path)$size)
  # A NUL cannot stand in an R string: it is left out. Bytes, not characters, are split, so
  # that a title in another encoding than the session's is read all the same.
  text <- rawToChar(bytes[bytes != as.raw(0)])
  lines <- strsplit(text, "\n", fixed = TRUE, useBytes = TRUE)[[1]]
  sub("\r$", "", lines, useBytes = TRUE)
}

fail <- function(lines, line, message) {
  stop(sprintf("%s line %d: %s", lines$path, line, message), call. = FALSE)
}

# The next `n` lines; `where` ends the message when the file is too short for them.
take_lines <- function(lines, n, where) {
  if (lines$at + n > length(lines$text)) {
    fail(lines, length(lines$text) + 1L, paste("the file ends", where))
  }
  taken <- lines$text[lines$at + seq_len(n)]
  lines$at <- lines$at + n
  taken
}

split_fields <- function(text) strsplit(trimws(text), "[[:space:]]+")

read_dimensions <- function(lines) {
  fields <- split_fields(take_lines(lines, 1, "before the dimensions"))[[1]]
  dims <- as.integer(fields[grepl("^-?[0-9]{1,9}$", fields)])
  if (length(fields) != 5 || length(dims) != 5 || any(dims[-2] < 0)) {
    fail(lines, lines$at, "expected five integers: years, first year, ages, fleets, indices")
  }
  structure(dims, names = c("n_years", "first_year", "n_ages", "n_fleets", "n_indices"))
}

expect_heading <- function(lines, heading) {
  if (take_lines(lines, 1, sprintf("before the block \"%s\"", heading)) != heading) {
    fail(lines, lines$at, sprintf("expected the heading \"%s\"", heading))
  }
}

# `n_lines` lines of `n_fields` numbers each, as a matrix of one row per line.
read_values <- function(lines, heading, n_lines, n_fields) {
  first <- lines$at + 1L
  fields <- split_fields(take_lines(lines, n_lines, sprintf("inside the block \"%s\"", heading)))
  counts <- lengths(fields)
  short <- which(counts != n_fields)[1]
  if (!is.na(short)) {
    fail(lines, first + short - 1L,
         sprintf("expected %d values, found %d", n_fields, counts[short]))
  }
  text <- unlist(fields)
  values <- suppressWarnings(as.numeric(text))
  bad <- which(is.na(values) & !is.nan(values))[1]
  if (!is.na(bad)) {
    fail(lines, first + (bad - 1L) %/% n_fields, sprintf("\"%s\" is not a number", text[bad]))
  }
  matrix(values, n_lines, n_fields, byrow = TRUE)
}

# A block of one line per label: a matrix [label, year].
read_table <- function(lines, heading, labels, years) {
  expect_heading(lines, heading)
  values <- read_values(lines, heading, length(labels[[1]]), length(years))
  dimnames(values) <- c(labels, list(year = years))
  values
}

# A block of one line per label and kind, kinds changing fastest: an array [label, kind, year].
read_kinds <- function(lines, heading, labels, kinds, years) {
  expect_heading(lines, heading)
  n_labels <- length(labels[[1]])
  values <- read_values(lines, heading, n_labels * length(kinds), length(years))
  by_line <- array(t(values), c(length(years), length(kinds), n_labels))
  arranged <- aperm(by_line)
  dimnames(arranged) <- c(labels, list(kind = kinds, year = years))
  arranged
}

read_index_spec <- function(lines, n_indices) {
  expect_heading(lines, "Index Specification")
  labels <- split_fields(take_lines(lines, 1, "inside the block \"Index Specification\""))[[1]]
  if (!identical(labels, sprintf("INDEX-%02d", seq_len(n_indices)))) {
    fail(lines, lines$at, sprintf("expected the labels of %d indices", n_indices))
  }
  values <- read_values(lines, "Index Specification", 7L, n_indices)
  columns <- matrix(as.integer(t(values)), ncol = 7,
                    dimnames = list(NULL, c(paste0("value", 1:6), "use")))
  index_spec <- data.frame(index = seq_len(n_indices), columns)
  index_spec$used <- index_spec$use != 0L
  index_spec
}

#' @rdname read_scantelk
#' @param x an object of class \code{"scantelk"}.
#' @param ... not used.
#' @export
print.scantelk <- function(x, ...) {
  d <- x$dims
  cat(sprintf("scantelk summary \"%s\"\n", x$title))
  cat(sprintf("years: %d from %d; ages: %d; fleets: %d; indices: %d (%d used)\n", d[["n_years"]],
              d[["first_year"]], d[["n_ages"]], d[["n_fleets"]], d[["n_indices"]],
              sum(x$index_spec$used)))
  tables <- paste(setdiff(names(x), c("title", "years", "dims")), collapse = ", ")
  cat(strwrap(paste("tables:", tables), exdent = 2), sep = "\n")
  invisible(x)
}
