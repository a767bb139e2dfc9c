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
#'     \code{"stock_numbers"}.}
#'   \item{row}{the age, fleet, index or column label as text; \code{NA} for
#'     \code{ssb} and \code{recruitment}.}
#'   \item{kind}{the kind of value (\code{"input"}, \code{"observed"}, \dots),
#'     or \code{NA} for tables without kinds.}
#'   \item{year}{integer; for \code{recruitment} the recruits' own year.}
#'   \item{value}{numeric.}
#'   Every per-year value of the file is in it once, ordered by table as the file
#'   orders them, then by row, kind and year. The title, the dimensions and the
#'   index specification are not.
#' @seealso \code{\link{scantelk_compare}} for several runs.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' long <- as.data.frame(run)
#' long[long$block == "ssb", ]
#' @export
as.data.frame.scantelk <- function(x, row.names = NULL, optional = FALSE, ...) {
  blocks <- setdiff(names(x), c("title", "years", "dims", "index_spec", "fits"))
  long <- lapply(blocks, function(block) long_block(block, x[[block]]))
  do.call(rbind, c(long, make.row.names = FALSE))
}

# One row per value, ordered as the file holds them: by row label, then kind, then year.
long_block <- function(block, values) {
  # R keeps no labels for an empty dimension (no years, no used index): nothing to lay out.
  if (length(values) == 0) {
    return(data.frame(block = character(), row = character(), kind = character(),
                      year = integer(), value = numeric()))
  }
  labels <- if (is.null(dim(values))) list(year = names(values)) else dimnames(values)
  # expand.grid varies its first argument fastest, and year must change fastest.
  grid <- expand.grid(rev(labels), KEEP.OUT.ATTRS = FALSE, stringsAsFactors = FALSE)
  n <- nrow(grid)
  row_label <- setdiff(names(labels), c("kind", "year"))
  data.frame(
    block = rep(block, n),
    row = if (length(row_label) > 0) grid[[row_label]] else rep(NA_character_, n),
    kind = if ("kind" %in% names(grid)) grid[["kind"]] else rep(NA_character_, n),
    year = as.integer(grid[["year"]]),
    value = as.vector(if (is.null(dim(values))) values else aperm(values))
  )
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
#'   column \code{run}, the run's name, runs in the order given.
#' @seealso \code{\link{plot_compare}}.
#' @examples
#' path <- system.file("extdata", "tiny.tmp", package = "scantelk")
#' both <- scantelk_compare(list(base = path, again = read_scantelk(path)))
#' both[both$block == "ssb", ]
#' @export
scantelk_compare <- function(runs) {
  runs <- read_runs(runs)
  long <- lapply(seq_along(runs), function(k) {
    long <- as.data.frame(runs[[k]])
    data.frame(run = rep(names(runs)[k], nrow(long)), long)
  })
  do.call(rbind, long)
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
