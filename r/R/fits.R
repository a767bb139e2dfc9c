# The fits of a run: observed against predicted catch, discards and proportions at age, as
# `scantelk --fits` writes them beside the summary in a CSV.

fits_header <- "table,fleet,year,age,observed,predicted"
fits_totals <- c("catch", "discards")
fits_proportions <- c("catch_proportions", "discard_proportions")
fits_tables <- c(fits_totals, fits_proportions)
# The sample-size table of the summary that goes with each table of proportions.
fits_sample_sizes <- c(catch_proportions = "catch_ess", discard_proportions = "discard_ess")

# The fields' forms, to say what is wrong with a line that the C reader found bad.
fits_whole <- "[0-9]{1,9}"
fits_year <- "-?[0-9]{1,9}"
fits_number <- "(-?[0-9]+(\\.[0-9]+)?(e[+-][0-9]+)?|NaN|Inf|-Inf)?"

#' Read the fits that scantelk --fits writes
#'
#' Reads the CSV that \command{scantelk --fits run.dat} writes beside the
#' summary (\file{run.fits.csv}): the observed and predicted total catch and
#' discards of every fleet and year, and the observed and predicted proportions
#' at age of the catch and of the discards. \code{\link{read_scantelk}} reads it
#' by itself when it stands beside the summary.
#'
#' An empty field is a value the model's report lacked; it reads as \code{NA}.
#' A file that is not such a CSV (another header, a line of other fields, bytes
#' that are not printable ASCII, lines out of order or repeated, a last line
#' without its line end) stops with an error that names the file and the line.
#'
#' @param path path of the CSV.
#' @return A data frame of one row per line: \code{table} (character:
#'   \code{"catch"}, \code{"discards"}, \code{"catch_proportions"} or
#'   \code{"discard_proportions"}), \code{fleet}, \code{year} and \code{age}
#'   (integers; \code{age} is \code{NA} for the totals), \code{observed} and
#'   \code{predicted} (doubles).
#' @seealso \code{\link{composition_residuals}}, \code{\link{mean_age}},
#'   \code{\link{plot_fits}}.
#' @examples
#' fits <- read_fits(system.file("extdata", "tiny.fits.csv", package = "scantelk"))
#' fits[fits$table == "catch", ]
#' @export
read_fits <- function(path) {
  file <- .Call(C_open_summary, path)
  on.exit(.Call(C_close_summary, file))
  read <- .Call(C_read_fits_lines, file, fits_header, fits_tables)
  if (!is.null(read$fault)) fits_fail(path, read$line, fits_fault_message(read))
  structure(read, class = "data.frame", row.names = .set_row_names(length(read$fleet)))
}

# The message for the first fault that the C reader found in a file.
fits_fault_message <- function(found) {
  switch(found$fault,
         byte = sprintf("the byte 0x%02X is not printable ASCII", found$byte),
         header = sprintf("expected the header \"%s\"", fits_header),
         end = "the file ends inside a line",
         line = fits_fault(found$text),
         order = "expected the lines in order of table, fleet, year and age, each once")
}

fits_fail <- function(path, line, message) {
  stop(sprintf("%s line %d: %s", path, line, message), call. = FALSE)
}

# What is wrong with a line that is not one the program writes.
fits_fault <- function(line) {
  n_fields <- nchar(gsub("[^,]", "", line)) + 1L
  if (n_fields != 6) return(sprintf("expected 6 fields, found %d", n_fields))
  field <- strsplit(paste0(line, ","), ",", fixed = TRUE)[[1]]
  whole <- function(text) grepl(sprintf("^%s$", fits_whole), text)
  if (!field[1] %in% fits_tables) {
    return(sprintf("\"%s\" is not one of the tables %s", field[1],
                   paste(fits_tables, collapse = ", ")))
  }
  if (!whole(field[2])) return(sprintf("the fleet \"%s\" is not a whole number", field[2]))
  if (!grepl(sprintf("^%s$", fits_year), field[3])) {
    return(sprintf("the year \"%s\" is not a whole number", field[3]))
  }
  if (field[1] %in% fits_totals && field[4] != "") {
    return(sprintf("a total of %s has no age, found \"%s\"", field[1], field[4]))
  }
  if (field[1] %in% fits_proportions && !whole(field[4])) {
    return(sprintf("the age \"%s\" is not a whole number", field[4]))
  }
  bad <- which(!grepl(sprintf("^%s$", fits_number), field[5:6]))[1]
  sprintf("the %s value \"%s\" is not a number", c("observed", "predicted")[bad], field[4 + bad])
}

# The name of the fits CSV beside a summary: its file name's extension replaced by .fits.csv
# ("run.tmp" gives "run.fits.csv", "base" gives "base.fits.csv").
fits_path <- function(summary) {
  extension <- if (.Platform$OS.type == "windows") "\\.[^./\\\\]*$" else "\\.[^./]*$"
  paste0(sub(extension, "", summary), ".fits.csv")
}

# A copy that does not keep file times (cp -R) may write the fits file a moment before its
# summary; a plain run that leaves an older fits file behind comes later than that.
fits_copy_slack_seconds <- 1

# The fits CSV beside a summary when there is one and it is not older than the summary; an
# older one, left by an earlier run, is left out with a warning.
fits_beside <- function(summary) {
  path <- fits_path(summary)
  if (!file.exists(path)) return(NULL)
  if (file.mtime(path) < file.mtime(summary) - fits_copy_slack_seconds) {
    warning(sprintf("%s is older than %s: its fits, of an earlier run, are left out", path,
                    summary), call. = FALSE)
    return(NULL)
  }
  read_fits(path)
}

fits_of <- function(run, table) {
  if (is.null(run$fits)) {
    stop("the run has no fits: convert it with scantelk --fits, which writes them beside ",
         "the summary", call. = FALSE)
  }
  if (!identical(table, fits_proportions[1]) && !identical(table, fits_proportions[2])) {
    stop(sprintf("table must be \"%s\" or \"%s\", not \"%s\"", fits_proportions[1],
                 fits_proportions[2], paste(table, collapse = " ")), call. = FALSE)
  }
  run$fits[run$fits$table == table, , drop = FALSE]
}

#' Pearson residuals of the proportions at age
#'
#' For each fleet, year and age of a table of proportions, the Pearson residual
#' \eqn{(o - p) / \sqrt{p (1 - p) / n}} of the observed proportion \eqn{o}
#' against the predicted one \eqn{p}, where \eqn{n} is that fleet and year's
#' input sample size from the summary's sample-size table of the same kind
#' (\code{catch_ess} or \code{discard_ess}).
#'
#' @param run a run from \code{\link{read_scantelk}} with fits: converted by
#'   \command{scantelk --fits}.
#' @param table \code{"catch_proportions"} or \code{"discard_proportions"}.
#' @return A data frame of one row per fleet, year and age: \code{fleet},
#'   \code{year}, \code{age}, \code{observed}, \code{predicted}, \code{n} and
#'   \code{residual}, which is \code{NA} where a term is missing, \code{n <= 0},
#'   or \code{predicted} is not strictly between 0 and 1. A run without fits
#'   stops with an error that says how to get them.
#' @seealso \code{\link{mean_age}}, \code{\link{plot_fits}}.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' composition_residuals(run)
#' @export
composition_residuals <- function(run, table = "catch_proportions") {
  rows <- fits_of(run, table)
  sizes <- run[[fits_sample_sizes[[table]]]]
  fleet <- match(rows$fleet, as.integer(dimnames(sizes)$fleet))
  year <- match(rows$year, as.integer(dimnames(sizes)$year))
  known <- !is.na(fleet) & !is.na(year)
  n <- rep(NA_real_, nrow(rows))
  n[known] <- sizes[cbind(fleet[known], match("input", dimnames(sizes)$kind), year[known])]
  o <- rows$observed
  p <- rows$predicted
  usable <- !is.na(o) & !is.na(p) & !is.na(n) & n > 0 & p > 0 & p < 1
  residual <- rep(NA_real_, nrow(rows))
  residual[usable] <- (o[usable] - p[usable]) / sqrt(p[usable] * (1 - p[usable]) / n[usable])
  data.frame(fleet = rows$fleet, year = rows$year, age = rows$age, observed = o,
             predicted = p, n = n, residual = residual)
}

#' Observed and predicted mean age
#'
#' For each fleet and year of a table of proportions, the observed and the
#' predicted mean age, \eqn{\sum a p_a / \sum p_a}, over the ages where both
#' values are present.
#'
#' @inheritParams composition_residuals
#' @return A data frame of one row per fleet and year: \code{fleet},
#'   \code{year}, \code{observed} and \code{predicted}; a year without any age
#'   with both values, or whose proportions sum to 0, has \code{NaN}. A run
#'   without fits stops with an error that says how to get them.
#' @seealso \code{\link{composition_residuals}}, \code{\link{plot_fits}}.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' mean_age(run)
#' @export
mean_age <- function(run, table = "catch_proportions") {
  rows <- fits_of(run, table)
  if (nrow(rows) == 0) {  # a run without fleets
    return(data.frame(fleet = integer(), year = integer(), observed = numeric(),
                      predicted = numeric()))
  }
  present <- !is.na(rows$observed) & !is.na(rows$predicted)
  group <- paste(rows$fleet, rows$year)
  sum_by_year <- function(values) {
    as.vector(rowsum(ifelse(present, values, 0), group, reorder = FALSE))
  }
  first <- !duplicated(group)
  data.frame(fleet = rows$fleet[first], year = rows$year[first],
             observed = sum_by_year(rows$age * rows$observed) / sum_by_year(rows$observed),
             predicted = sum_by_year(rows$age * rows$predicted) / sum_by_year(rows$predicted))
}
