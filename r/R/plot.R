# Colours that stay apart for readers with colour vision deficiency (Okabe and Ito).
scantelk_colours <- c("#000000", "#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00",
                      "#56B4E9")

#' The standard plots of a run
#'
#' Draws five panels on the current device: spawning stock biomass;
#' recruitment, observed as points and predicted as a line; the three average F
#' columns; the index fits, observed points and predicted lines per used index;
#' and below them the standardized residuals of the index fits.
#'
#' Recruitment is drawn at the recruits' own years (see
#' \code{\link{read_scantelk}}). The axes span zero and every finite value, so
#' an infinite value leaves a gap rather than stopping the plot, as does a
#' \code{NaN}: a summary written by \command{scantelk --nan} has \code{NaN}
#' where the report lacked a value, so those years are gaps rather than zeros.
#' The year axis has whole years only, and a run of one year shows its values as
#' points. Each legend stands in the top right corner of its panel, above every
#' value (the value axis reaches high enough to leave it room), so that it
#' never covers data. The device's layout and margins are restored afterwards.
#'
#' @param x an object of class \code{"scantelk"}, from
#'   \code{\link{read_scantelk}}.
#' @param col colours: the first for SSB and observed recruits, the first three
#'   for the F columns, one per used index in turn. The default holds seven
#'   that readers with colour vision deficiency tell apart.
#' @param pch,lwd point symbol and line width.
#' @param ... further graphical parameters for each panel, such as
#'   \code{las} or \code{cex.axis}.
#' @return \code{x}, invisibly.
#' @seealso \code{\link{plot_compare}} for several runs.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' plot(run)
#' @importFrom graphics abline axis box layout legend lines par plot plot.new
#'   plot.window points title
#' @importFrom grDevices palette.colors
#' @export
plot.scantelk <- function(x, col = scantelk_colours, pch = 16, lwd = 1.5, ...) {
  old <- par(mar = c(3, 4, 2, 1), mgp = c(2, 0.7, 0))
  on.exit({
    par(old)
    layout(1)
  })
  # Left column: stock, recruits, F over the years; right: index fits with residuals below.
  layout(matrix(c(1, 4, 2, 4, 3, 5), nrow = 3, byrow = TRUE))
  years <- x$years

  open_panel(years, x$ssb, "Spawning stock biomass", "SSB", ...)
  draw_line(years, x$ssb, col = col[1], lwd = lwd)

  recruits <- x$recruitment
  recruit_years <- as.integer(colnames(recruits))
  open_panel(recruit_years, recruits, "Recruitment", "Recruits",
             key = list(legend = c("observed", "predicted"), col = col[1:2],
                        pch = c(pch, NA), lty = c(NA, 1)), ...)
  points(recruit_years, recruits["observed", ], col = col[1], pch = pch)
  draw_line(recruit_years, recruits["predicted", ], col = col[2], lwd = lwd)

  open_panel(years, x$average_f, "Average F", "F",
             key = list(legend = paste("column", 1:3), col = col[1:3], lty = 1:3), ...)
  for (k in 1:3) draw_line(years, x$average_f[k, ], col = col[k], lty = k, lwd = lwd)

  fits <- x$index_fit
  indices <- dimnames(fits)$index
  index_col <- rep_len(col, length(indices))
  key <- if (length(indices) > 0) {
    list(legend = paste("index", indices), col = index_col, lty = 1, pch = pch)
  }
  open_panel(years, fits[, c("observed", "predicted"), ], "Index fits", "Index", key = key, ...)
  for (i in seq_along(indices)) {
    points(years, fits[i, "observed", ], col = index_col[i], pch = pch)
    draw_line(years, fits[i, "predicted", ], col = index_col[i], lwd = lwd)
  }

  open_panel(years, fits[, "std_residual", ], "Standardized residuals", "Residual", ...)
  abline(h = 0, col = "grey")
  for (i in seq_along(indices)) {
    points(years, fits[i, "std_residual", ], col = index_col[i], pch = pch)
  }
  invisible(x)
}

#' Plot several runs over each other
#'
#' Draws spawning stock biomass, recruitment and one column of average F of
#' several runs in three panels, one line per run, with a legend.
#'
#' Recruitment is the stock numbers at the first age, the recruits of each
#' year, as in \code{\link{scantelk_retro}} and the report page; a run without
#' ages has none. The year axis has whole years only; a run of one year is
#' drawn as points. The legend stands in the top right corner of the first
#' panel, above every value, so that it never covers data.
#'
#' @param runs a named list of \code{"scantelk"} objects or of summary file
#'   paths, as for \code{\link{scantelk_compare}}; each name must be given
#'   once, since the legend tells the runs apart by name.
#' @param f_column which of the three average F columns to draw: 1, 2 or 3.
#' @param col colours, one per run in turn; by default those of
#'   \code{\link{plot.scantelk}}.
#' @param lwd line width.
#' @param ... further graphical parameters for each panel.
#' @return The long form of all runs, as \code{\link{scantelk_compare}} gives
#'   it, invisibly.
#' @examples
#' path <- system.file("extdata", "tiny.tmp", package = "scantelk")
#' plot_compare(list(base = path, again = path))
#' @export
plot_compare <- function(runs, f_column = 1, col = scantelk_colours, lwd = 1.5, ...) {
  check_f_column(f_column)
  runs <- read_runs(runs, unique = TRUE)
  long <- scantelk_compare(runs)
  names <- names(runs)
  col <- rep_len(col, length(names))
  old <- par(mfrow = c(1, 3), mar = c(3, 4, 2, 1), mgp = c(2, 0.7, 0))
  on.exit(par(old))
  recruits <- long$block == "stock_numbers" & long$row == 1
  f <- long$block == "average_f" & long$row == f_column
  compare_panel(long[long$block == "ssb", ], names, col, lwd, "Spawning stock biomass",
                "SSB", key = list(legend = names, col = col, lty = 1, lwd = lwd), ...)
  compare_panel(long[recruits, ], names, col, lwd, "Recruitment (first age)", "Recruits", ...)
  compare_panel(long[f, ], names, col, lwd, paste("Average F, column", f_column), "F", ...)
  invisible(long)
}

# One line per run, from rows of the long form.
compare_panel <- function(long, names, col, lwd, main, ylab, key = NULL, ...) {
  open_panel(long$year, long$value, main, ylab, key = key, ...)
  for (k in seq_along(names)) {
    run <- long[long$run == names[k], ]
    draw_line(run$year, run$value, col = col[k], lwd = lwd)
  }
}

# An empty panel whose axes span every finite value and zero, so that an infinite value or a
# run without years still draws. A single year gets a year of room on either side: R would
# widen it by 4 % of the year number itself. A legend (`key`, arguments of legend()) stands in
# the top right corner, above every value: the value axis reaches high enough to leave it room.
# Without `zero`, the value axis spans the values alone (a mean age).
open_panel <- function(x, y, main, ylab, key = NULL, zero = TRUE, ...) {
  xlim <- year_limits(x)
  ylim <- finite_range(c(if (zero) 0, y))
  plot.new()
  plot.window(xlim, ylim, ...)
  if (!is.null(key)) {
    key <- fit_key(key)
    # The axis's 4 % margins included, the top `share` of the panel lies above every value.
    plot.window(xlim, c(ylim[1], ylim[1] + diff(ylim) / (1.04 - 1.08 * key$share)), ...)
  }
  axis(1, at = whole_years(par("usr")[1:2]), ...)
  axis(2, ...)
  box(...)
  title(main = main, xlab = "Year", ylab = ylab, ...)
  if (!is.null(key)) do.call(legend, c(list("topright"), key$arguments))
}

# A legend's arguments with as many columns as the panel's width holds, and the share of the
# panel's height it takes.
fit_key <- function(key) {
  arguments <- c(list(bty = "n", cex = 0.8), key)
  for (columns in rev(seq_along(key$legend))) {
    box <- do.call(legend, c(list("topright", ncol = columns, plot = FALSE), arguments))$rect
    if (columns == 1 || box$w <= diff(par("usr")[1:2])) break
  }
  list(arguments = c(arguments, list(ncol = columns)),
       share = min(box$h / diff(par("usr")[3:4]) + 0.02, 0.6))
}

year_limits <- function(years) {
  limits <- finite_range(years)
  if (limits[1] == limits[2]) limits + c(-1, 1) else limits
}

# Ticks at whole years within an axis range: a run of two years would get 1980.2 and so on.
whole_years <- function(range) {
  ticks <- pretty(range)
  # pretty() steps by adding: 1980 may come out a hair off.
  round(ticks[abs(ticks - round(ticks)) < 1e-6])
}

# A line over the years; a single year, which a line cannot show, as a point.
draw_line <- function(x, y, ...) {
  lines(x, y, type = if (length(x) == 1) "o" else "l", pch = 16, ...)
}

finite_range <- function(values) {
  values <- values[is.finite(values)]
  if (length(values) == 0) c(0, 1) else range(values)
}
