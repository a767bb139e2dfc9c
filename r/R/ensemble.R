# Ensembles: the spread of SSB, recruitment and F over many runs of one stock, year by year.

ensemble_quantities <- c("ssb", "recruitment", "f")

#' Quantiles of an ensemble of runs
#'
#' The quantiles over many runs of spawning stock biomass, recruitment and
#' average F, year by year: the spread of a simulation study or an ensemble.
#'
#' The quantities are \code{ssb}, spawning stock biomass; \code{recruitment},
#' the stock numbers at the first age; and \code{f}, the average F column
#' \code{f_column}. In each year, the runs without a value (\code{NA} or
#' \code{NaN}) are left out, never counted as zero; a year in which no run has
#' a value has \code{NA}. The quantiles are R's default, \code{type = 7} of
#' \code{\link[stats]{quantile}}, which NumPy's default matches; the Python
#' package gives the same numbers.
#'
#' @param x a data frame of \code{\link{scantelk_gather}} or
#'   \code{\link{scantelk_compare}}; or the runs themselves, as a named list
#'   of runs or paths (as \code{scantelk_compare} takes them), or as an unnamed
#'   list or character vector of them or a glob pattern, as
#'   \code{\link{scantelk_gather}} takes it, each named by its file name
#'   without the extension (a run already read by its position).
#' @param probs the probabilities, each from 0 to 1.
#' @param f_column which of the three average F columns is \code{f}: 1, 2 or 3.
#' @return A data frame with one row per quantity, year and probability, the
#'   quantities in the order above, then the years, then \code{probs} as
#'   given:
#'   \item{quantity}{a factor: \code{"ssb"}, \code{"recruitment"} or
#'     \code{"f"}.}
#'   \item{year}{integer.}
#'   \item{prob}{the probability.}
#'   \item{value}{the quantile.}
#'   \item{n_runs}{integer: the number of runs with a value that year.}
#' @seealso \code{\link{plot_ensemble}}, the fan chart of these quantiles.
#' @examples
#' folder <- system.file("extdata", "retro", package = "scantelk")
#' runs <- scantelk_gather(file.path(folder, "*.tmp"))
#' q <- scantelk_quantiles(runs, probs = c(0.1, 0.5, 0.9))
#' q[q$quantity == "ssb" & q$year == 2005, ]
#' @export
scantelk_quantiles <- function(x, probs = c(0.05, 0.25, 0.5, 0.75, 0.95), f_column = 1) {
  check_f_column(f_column)
  if (!is.numeric(probs) || length(probs) == 0 || anyNA(probs) || any(probs < 0 | probs > 1)) {
    stop(sprintf("probs must lie between 0 and 1, not %s", deparse(probs)), call. = FALSE)
  }
  long <- ensemble_table(x)
  parts <- lapply(ensemble_quantities, function(quantity) {
    by_year <- values_by_year(long[quantity_rows(long, quantity, f_column), ])
    n_runs <- vapply(by_year, function(values) sum(!is.na(values)), integer(1))
    value <- unlist(lapply(by_year, function(values) {
      if (all(is.na(values))) return(rep(NA_real_, length(probs)))
      stats::quantile(values, probs, type = 7, names = FALSE, na.rm = TRUE)
    }), use.names = FALSE)
    data.frame(quantity = rep(quantity, length(value)),
               year = rep(as.integer(names(by_year)), each = length(probs)),
               prob = rep(probs, length(by_year)), value = value,
               n_runs = rep(n_runs, each = length(probs)))
  })
  result <- do.call(rbind, parts)
  result$quantity <- factor(result$quantity, levels = ensemble_quantities)
  rownames(result) <- NULL
  result
}

# The long form of an ensemble given as a data frame, a named list of runs or a list of them.
ensemble_table <- function(x) {
  if (is.data.frame(x)) {
    if (!"run" %in% names(x)) {
      stop("expected a data frame of scantelk_gather() or scantelk_compare(), with a column run",
           call. = FALSE)
    }
    return(x)
  }
  if (!inherits(x, "scantelk") && !is.null(names(x)) && all(!is.na(names(x)) & names(x) != "")) {
    return(scantelk_compare(x))
  }
  if (inherits(x, "scantelk")) x <- list(x)
  if (is.character(x)) x <- as.list(expand_paths(x))
  paths <- vapply(seq_along(x), function(k) {
    if (is.character(x[[k]])) x[[k]] else as.character(k)
  }, character(1))
  names <- run_names(paths, NULL)
  runs <- lapply(x, function(run) if (is.character(run)) read_scantelk(run) else run)
  long_frame(lapply(runs, long_columns), names)
}

# Which rows of a long form hold the quantity: ssb, recruitment or f.
quantity_rows <- function(long, quantity, f_column) {
  block <- switch(quantity, ssb = "ssb", recruitment = "stock_numbers", f = "average_f")
  row <- if (quantity == "f") f_column else 1L
  long$block == block & long$row == row
}

# A quantity's values split by year, in the order of the years.
values_by_year <- function(rows) {
  split(rows$value, factor(rows$year, levels = sort(unique(rows$year))))
}
