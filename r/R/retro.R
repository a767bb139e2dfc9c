# Retrospective analysis: each peel's estimates in its own last year against the base run's.

retro_quantities <- c("ssb", "f", "recruitment")

#' Retrospective differences of peels from their base run
#'
#' A retrospective analysis reruns an assessment with the last 1, 2, \dots
#' years of data removed (\emph{peels}) and compares each peel's estimates in
#' its own last year with those of the full run (the \emph{base}).
#' \code{scantelk_retro} gives those differences for spawning stock biomass,
#' average F and recruitment; \code{\link{mohns_rho}} sums them up.
#'
#' The base is the run whose last model year is the latest; every other run is
#' a peel, known by its own last model year \eqn{Y}. For each peel and
#' quantity,
#' \deqn{relative = \frac{value}{base} - 1}{relative = value / base - 1}
#' where \eqn{value} is the peel's estimate in \eqn{Y} and \eqn{base} the base
#' run's estimate in \eqn{Y}.
#'
#' The quantities are \code{ssb}, spawning stock biomass; \code{f}, the average
#' F column \code{f_column}; and \code{recruitment}, the stock numbers at the
#' first age in \eqn{Y}. These are the recruits of year \eqn{Y} themselves:
#' the report's recruitment lines are shifted by one year (the line of year
#' \eqn{Y} holds the recruits of \eqn{Y + 1}), so they are not used.
#'
#' \code{relative} is \code{NA} where \code{base} is 0, and for recruitment
#' when a run has no ages.
#'
#' The analysis stops with an error naming what is wrong for fewer than two
#' runs, two runs ending in the same year, a run without years, a peel that
#' ends before the base run begins, a name given twice, or an \code{f_column}
#' other than 1, 2 or 3.
#'
#' @param runs a named list of \code{"scantelk"} objects or of summary file
#'   paths (a named character vector of paths also does), in any order: the
#'   base run and at least one peel. Each name must be given once.
#' @param f_column which of the three average F columns is \code{f}: 1, 2 or
#'   3.
#' @return A data frame with one row per peel and quantity, the latest peel
#'   first and the quantities in the order \code{ssb}, \code{f},
#'   \code{recruitment}:
#'   \item{run}{the peel's name.}
#'   \item{year}{the peel's last model year, integer.}
#'   \item{quantity}{\code{"ssb"}, \code{"f"} or \code{"recruitment"}.}
#'   \item{value}{the peel's estimate in that year.}
#'   \item{base}{the base run's estimate in that year.}
#'   \item{relative}{\code{value / base - 1}.}
#' @seealso \code{\link{mohns_rho}}, \code{\link{plot_retro}}.
#' @examples
#' # A base run of 2000 to 2009 and two peels, shipped with the package.
#' folder <- system.file("extdata", "retro", package = "scantelk")
#' runs <- list(base = file.path(folder, "base.tmp"),
#'              peel1 = file.path(folder, "peel1.tmp"),
#'              peel2 = file.path(folder, "peel2.tmp"))
#' scantelk_retro(runs)
#' @export
scantelk_retro <- function(runs, f_column = 1) {
  retro_analysis(read_runs(runs, unique = TRUE), f_column)$table
}

#' Mohn's rho of a retrospective analysis
#'
#' The mean over the peels of the relative differences that
#' \code{\link{scantelk_retro}} gives, for spawning stock biomass, average F
#' and recruitment.
#'
#' With \eqn{P} peels, and \eqn{Y_p} the last model year of peel \eqn{p},
#' \deqn{\rho = \frac{1}{P} \sum_{p=1}^{P} \left( \frac{value_p(Y_p)}{base(Y_p)} - 1 \right)}{rho = (1 / P) * sum over p of (value_p(Y_p) / base(Y_p) - 1)}
#' each peel compared with the base run in its own last year only (the usual
#' definition). Recruitment is the stock numbers at the first age.
#'
#' A quantity whose relative difference is \code{NA} for any peel (a base value
#' of 0, or a run without ages for recruitment) has a rho of \code{NA}, not a
#' mean over the other peels.
#'
#' @param x the result of \code{\link{scantelk_retro}}, or the runs themselves
#'   as \code{scantelk_retro} takes them.
#' @param f_column for runs, which of the three average F columns is
#'   \code{f}: 1, 2 or 3. With a result of \code{scantelk_retro} it stays 1:
#'   the result already holds its F column.
#' @return A named numeric vector \code{c(ssb = , f = , recruitment = )}.
#' @seealso \code{\link{scantelk_retro}}, \code{\link{plot_retro}}.
#' @examples
#' folder <- system.file("extdata", "retro", package = "scantelk")
#' runs <- list(base = file.path(folder, "base.tmp"),
#'              peel1 = file.path(folder, "peel1.tmp"),
#'              peel2 = file.path(folder, "peel2.tmp"))
#' mohns_rho(runs)                   # ssb -0.1, f 0.125, recruitment 0.025
#' mohns_rho(scantelk_retro(runs, f_column = 2))
#' @export
mohns_rho <- function(x, f_column = 1) {
  if (is.data.frame(x)) {
    if (!(is.numeric(f_column) && identical(as.numeric(f_column), 1))) {
      stop("f_column applies to runs: a result of scantelk_retro() holds its F column",
           call. = FALSE)
    }
    if (!all(c("quantity", "relative") %in% names(x))) {
      stop("expected the result of scantelk_retro(), with columns quantity and relative",
           call. = FALSE)
    }
  } else {
    x <- scantelk_retro(x, f_column)
  }
  # mean() gives NA when any peel's relative difference is NA: no rho from the other peels.
  vapply(retro_quantities, function(quantity) mean(x$relative[x$quantity == quantity]),
         numeric(1))
}

#' The retrospective plot
#'
#' Draws spawning stock biomass, average F and recruitment of a base run and
#' its peels in three panels on the current device, each panel titled with its
#' Mohn's rho.
#'
#' The base run is a solid line; each peel has its own colour and ends in a
#' point at its last year. Each panel's title gives the quantity's Mohn's rho
#' (see \code{\link{mohns_rho}}) with three decimals, \code{NA} where it is
#' undefined; a legend in the top right corner of the first panel, above every
#' value so that it covers no data, names the runs. Recruitment is the
#' stock numbers at the first age. The errors are those of
#' \code{\link{scantelk_retro}}.
#'
#' @param runs a named list of runs or summary paths, as for
#'   \code{\link{scantelk_retro}}.
#' @param f_column which of the three average F columns to draw: 1, 2 or 3.
#' @param col colours: the first for the base run, the others for the peels
#'   in turn. By default black, then six that readers with colour vision
#'   deficiency tell apart.
#' @param lwd line width of the peels; the base is drawn a little wider.
#' @param ... further graphical parameters for each panel.
#' @return The result of \code{\link{scantelk_retro}}, invisibly.
#' @seealso \code{\link{plot_compare}} for runs that are not peels of each
#'   other.
#' @examples
#' folder <- system.file("extdata", "retro", package = "scantelk")
#' runs <- list(base = file.path(folder, "base.tmp"),
#'              peel1 = file.path(folder, "peel1.tmp"),
#'              peel2 = file.path(folder, "peel2.tmp"))
#' plot_retro(runs)
#' @export
plot_retro <- function(runs, f_column = 1, col = scantelk_colours, lwd = 1.5, ...) {
  runs <- read_runs(runs, unique = TRUE)
  analysis <- retro_analysis(runs, f_column)
  rho <- mohns_rho(analysis$table)
  names <- c(analysis$base, unique(analysis$table$run))
  # The base takes the first colour (black by default), the peels the others in turn.
  col <- c(col[1], rep_len(col[-1], length(names) - 1))
  old <- par(mfrow = c(1, 3), mar = c(3, 4, 4, 1), mgp = c(2, 0.7, 0))
  on.exit(par(old))
  titles <- list(ssb = c("Spawning stock biomass", "SSB"),
                 f = c(paste("Average F, column", f_column), "F"),
                 recruitment = c("Recruitment (first age)", "Recruits"))
  for (quantity in retro_quantities) {
    series <- lapply(runs[names], run_estimate, quantity, f_column)
    years <- lapply(series, function(values) as.integer(names(values)))
    main <- sprintf("%s\nMohn's rho = %s", titles[[quantity]][1], three_decimals(rho[[quantity]]))
    key <- if (quantity == "ssb") list(legend = names, col = col, lty = 1, lwd = lwd)
    open_panel(unlist(years), unlist(series), main, titles[[quantity]][2], key = key, ...)
    # The base over the peels, which follow it until they part from it near their ends; the
    # peels' last points over everything.
    for (k in c(seq_along(names)[-1], 1)) {
      draw_line(years[[k]], series[[k]], col = col[k], lwd = if (k == 1) lwd + 0.5 else lwd)
    }
    for (k in seq_along(names)[-1]) {
      last <- length(years[[k]])
      points(years[[k]][last], series[[k]][last], col = col[k], pch = 16, cex = 1.5)
    }
  }
  invisible(analysis$table)
}

three_decimals <- function(value) if (is.na(value)) "NA" else sprintf("%.3f", value)

check_f_column <- function(f_column) {
  if (!(is.numeric(f_column) && length(f_column) == 1 && f_column %in% 1:3)) {
    stop(sprintf("f_column must be 1, 2 or 3, not %s", deparse(f_column)), call. = FALSE)
  }
}

# The table of scantelk_retro() and the name of the base run, from runs already read.
retro_analysis <- function(runs, f_column) {
  check_f_column(f_column)
  if (length(runs) < 2) {
    stop(sprintf("a retrospective analysis needs a base run and at least one peel; found %d run(s)",
                 length(runs)), call. = FALSE)
  }
  last <- integer()
  for (name in names(runs)) {
    years <- runs[[name]]$years
    if (length(years) == 0) stop(sprintf("run \"%s\" has no years", name), call. = FALSE)
    year <- years[length(years)]
    same <- names(last)[last == year]
    if (length(same) > 0) {
      stop(sprintf("runs \"%s\" and \"%s\" both end in %d: each peel must end in a year of its own",
                   same[1], name, year), call. = FALSE)
    }
    last[name] <- year
  }
  base_name <- names(last)[which.max(last)]
  base <- runs[[base_name]]
  peels <- setdiff(names(last)[order(last, decreasing = TRUE)], base_name)
  rows <- lapply(peels, function(peel) {
    year <- last[[peel]]
    if (year < base$years[1]) {
      stop(sprintf("peel \"%s\" ends in %d, before the base run \"%s\" begins in %d", peel, year,
                   base_name, base$years[1]), call. = FALSE)
    }
    in_year <- function(run) {
      vapply(retro_quantities, function(quantity) {
        run_estimate(run, quantity, f_column)[[as.character(year)]]
      }, numeric(1), USE.NAMES = FALSE)
    }
    value <- in_year(runs[[peel]])
    base_value <- in_year(base)
    data.frame(run = peel, year = year, quantity = retro_quantities, value = value,
               base = base_value,
               relative = ifelse(base_value == 0, NA_real_, value / base_value - 1))
  })
  list(table = do.call(rbind, rows), base = base_name)
}

# A run's estimates of one quantity, named by year; recruitment is NA for a run without ages.
run_estimate <- function(run, quantity, f_column) {
  row <- switch(quantity,
    ssb = run$ssb,
    f = run$average_f[f_column, ],
    recruitment = if (nrow(run$stock_numbers) > 0) run$stock_numbers[1, ] else NA_real_
  )
  # A run of one year loses the year's name in [k, ]: the names come from the run's years.
  values <- rep_len(as.numeric(row), length(run$years))
  names(values) <- run$years
  values
}
