#' The long form of a scantelk summary
#'
#' One row per value of every per-year table of a run, for plotting and for
#' comparing runs.
#'
#' @param x an object of class \code{"scantelk"}, from
#'   \code{\link{read_scantelk}}.
#' @param row.names,optional,... not used; rows are numbered from 1.
#' @return A data frame with columns
#'   \item{block}{the table's name in the \code{"scantelk"} object, such as
#'     \code{"stock_numbers"}: a factor whose levels are the per-year tables in
#'     the order of the file, the same for every run.}
#'   \item{row}{integer: the age, fleet, index number or average F column,
#'     each numbered from 1, so that rows sort as numbers; 1 for \code{ssb}
#'     and \code{recruitment}, tables of one row.}
#'   \item{kind}{the kind of value, a factor with the levels \code{"input"},
#'     \code{"effective"}, \code{"observed"}, \code{"predicted"} and
#'     \code{"std_residual"}; \code{NA} for tables without kinds.}
#'   \item{year}{integer; for \code{recruitment} the recruits' own year.}
#'   \item{value}{numeric.}
#'   Every per-year value of the file is in it once, ordered by table as the file
#'   orders them, then by row, kind and year. The title, the dimensions and the
#'   index specification are not. Before version 1.1.0, \code{row} was text
#'   (\code{NA} for \code{ssb} and \code{recruitment}) and \code{block} and
#'   \code{kind} were character vectors.
#' @seealso \code{\link{scantelk_compare}} for several runs.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' long <- as.data.frame(run)
#' long[long$block == "ssb", ]
#' @export
as.data.frame.scantelk <- function(x, row.names = NULL, optional = FALSE, ...) {
  long_frame(list(long_columns(x)))
}

# The per-year tables of a run in the order of the file, and the kinds of value in the order in
# which the file first has them: the levels of the factors block and kind, the same for every run.
scantelk_blocks <- c("natural_mortality", "maturity", "catch_weight_at_age", "ssb_weight_at_age",
                     "jan1_weight_at_age", "catch_weight", "discard_weight", "catch_ess",
                     "discard_ess", "index_fit", "index_ess", "average_f", "stock_numbers", "ssb",
                     "recruitment")
scantelk_kinds <- c("input", "effective", "observed", "predicted", "std_residual")

# A run's long form as plain vectors, block and kind as codes into the levels above: runs are
# stacked as vectors and made a data frame once. Runs of one shape share their labels, which are
# laid out once per shape; each run adds only its values, year changing fastest.
long_columns <- function(x) {
  blocks <- intersect(scantelk_blocks, names(x))
  shape <- paste(c(x$dims, "used", dimnames(x$index_fit)$index, blocks), collapse = " ")
  layout <- long_layouts[[shape]]
  if (is.null(layout)) {
    if (length(long_layouts) >= 256) rm(list = ls(long_layouts), envir = long_layouts)
    parts <- lapply(blocks, function(block) block_columns(match(block, scantelk_blocks),
                                                          x[[block]]))
    layout <- lapply(setNames(nm = c("block", "row", "kind", "year")),
                     function(column) unlist(lapply(parts, `[[`, column), use.names = FALSE))
    assign(shape, layout, envir = long_layouts)
  }
  # aperm() puts year first and the row label last: year changes fastest.
  values <- lapply(x[blocks], function(values) if (is.null(dim(values))) values else aperm(values))
  c(layout, list(value = unlist(values, use.names = FALSE)))
}

long_layouts <- new.env(parent = emptyenv())

# One block's columns, ordered as the file holds them: by row label, then kind, then year. The
# rows are the ages, fleets, indices or F columns; a table of one row (SSB, recruitment) has 1.
block_columns <- function(code, values) {
  # R keeps no labels for an empty dimension (no years, no used index): nothing to lay out.
  if (length(values) == 0) {
    return(list(block = integer(), row = integer(), kind = integer(), year = integer()))
  }
  labels <- if (is.null(dim(values))) list(year = names(values)) else dimnames(values)
  years <- as.integer(labels$year)
  kinds <- if ("kind" %in% names(labels)) match(labels$kind, scantelk_kinds) else NA_integer_
  row_label <- setdiff(names(labels), c("kind", "year"))
  rows <- if (length(row_label) > 0) as.integer(labels[[row_label]]) else 1L
  n <- length(values)
  list(
    block = rep(code, n),
    row = rep(rows, each = n / length(rows)),
    kind = rep(rep(kinds, each = length(years)), length.out = n),
    year = rep(years, length.out = n)
  )
}

# The data frame of the long forms of runs, stacked in order; with `names`, a first column `run`,
# a factor of the names in their order.
long_frame <- function(runs, names = NULL) {
  column <- function(name) unlist(lapply(runs, `[[`, name), use.names = FALSE)
  as_factor <- function(codes, levels) structure(as.integer(codes), levels = levels,
                                                 class = "factor")
  long <- data.frame(block = as_factor(column("block"), scantelk_blocks),
                     row = as.integer(column("row")),
                     kind = as_factor(column("kind"), scantelk_kinds),
                     year = as.integer(column("year")),
                     value = as.numeric(column("value")))
  if (is.null(names)) return(long)
  counts <- vapply(runs, function(run) length(run$value), integer(1))
  levels <- unique(names)
  data.frame(run = as_factor(rep(match(names, levels), counts), levels), long)
}

#' The long form of several runs
#'
#' Stacks the long forms of several runs, so that runs of different year
#' ranges or index sets compare by \code{block}, \code{row}, \code{kind} and
#' \code{year}.
#'
#' @param runs a named list of \code{"scantelk"} objects or of summary file
#'   paths (a named character vector of paths also does).
#' @return The long form of \code{\link{as.data.frame.scantelk}} with a first
#'   column \code{run}, the run's name: a factor whose levels are the names in
#'   the order given (text before version 1.1.0). Runs follow each other in
#'   that order.
#' @seealso \code{\link{plot_compare}}.
#' @examples
#' path <- system.file("extdata", "tiny.tmp", package = "scantelk")
#' both <- scantelk_compare(list(base = path, again = read_scantelk(path)))
#' both[both$block == "ssb", ]
#' @export
scantelk_compare <- function(runs) {
  runs <- read_runs(runs)
  long_frame(lapply(runs, long_columns), names(runs))
}

# A named list of runs or summary paths, each path read. Where a name must single out one run
# (`unique`), a name given twice is refused.
read_runs <- function(runs, unique = FALSE) {
  labels <- names(runs)
  if (inherits(runs, "scantelk") || is.null(labels) || any(is.na(labels) | labels == "")) {
    stop("every run needs a name: runs = list(base = ..., alternative = ...)", call. = FALSE)
  }
  twice <- anyDuplicated(labels)
  if (unique && twice > 0) {
    stop(sprintf("every run needs a name of its own: \"%s\" is given twice", labels[twice]),
         call. = FALSE)
  }
  lapply(runs, function(run) if (is.character(run)) read_scantelk(run) else run)
}
