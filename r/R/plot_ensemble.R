#' The fan chart of an ensemble
#'
#' Draws spawning stock biomass, recruitment (the stock numbers at the first
#' age) and the average F column \code{f_column} of an ensemble of runs in
#' three panels on the current device: the median as a line and the central
#' bands of the runs shaded, by default the central 50 \% and 90 \%.
#'
#' Each pair of probabilities \eqn{p} and \eqn{1 - p} in \code{probs} shades a
#' band, the wider ones paler; the median is drawn when \code{probs} holds 0.5.
#' The legend names the median, the bands and the base run, never each run,
#' and stands in a column of its own beside the panels, off the data. The
#' device's layout and margins are restored afterwards.
#'
#' @param x the ensemble, as \code{\link{scantelk_quantiles}} takes it.
#' @param base the name of one run of \code{x} to draw as a line of its own,
#'   such as the assessment that the ensemble perturbs; \code{NULL} for none.
#' @param probs the probabilities of the median and the bands.
#' @param f_column which of the three average F columns to draw: 1, 2 or 3.
#' @param col the colour of the median and, paler, of the bands.
#' @param base_col the colour of the base run's line.
#' @param lwd line width.
#' @param ... further graphical parameters for each panel.
#' @return The quantiles drawn, as \code{\link{scantelk_quantiles}} gives them,
#'   invisibly.
#' @examples
#' folder <- system.file("extdata", "retro", package = "scantelk")
#' runs <- scantelk_gather(file.path(folder, "*.tmp"))
#' plot_ensemble(runs, base = "base")
#' @importFrom grDevices adjustcolor
#' @importFrom graphics plot.new polygon
#' @export
plot_ensemble <- function(x, base = NULL, probs = c(0.05, 0.25, 0.5, 0.75, 0.95), f_column = 1,
                          col = scantelk_colours[2], base_col = scantelk_colours[1], lwd = 1.5,
                          ...) {
  long <- ensemble_table(x)
  if (!is.null(base) && !base %in% as.character(long$run)) {
    stop(sprintf("base \"%s\" is not a run of the ensemble", base), call. = FALSE)
  }
  table <- scantelk_quantiles(long, probs, f_column)
  pairs <- band_pairs(probs)
  fills <- vapply(seq_len(nrow(pairs)), function(k) {
    adjustcolor(col, alpha.f = 0.2 + 0.25 * (k - 1) / max(nrow(pairs) - 1, 1))
  }, character(1))
  old <- par(mar = c(3, 4, 2, 1), mgp = c(2, 0.7, 0))
  on.exit({
    par(old)
    layout(1)
  })
  layout(matrix(1:4, nrow = 1), widths = c(1, 1, 1, 0.4))
  titles <- list(ssb = c("Spawning stock biomass", "SSB"),
                 recruitment = c("Recruitment (first age)", "Recruits"),
                 f = c(paste("Average F, column", f_column), "F"))
  for (quantity in ensemble_quantities) {
    rows <- table[table$quantity == quantity, ]
    based <- long[!is.null(base) & long$run %in% base & quantity_rows(long, quantity, f_column), ]
    open_panel(c(rows$year, based$year), c(rows$value, based$value), titles[[quantity]][1],
               titles[[quantity]][2], ...)
    years <- sort(unique(rows$year))
    for (k in seq_len(nrow(pairs))) {
      low <- rows$value[rows$prob == pairs$low[k]]
      high <- rows$value[rows$prob == pairs$high[k]]
      shown <- !is.na(low) & !is.na(high)
      polygon(c(years[shown], rev(years[shown])), c(low[shown], rev(high[shown])),
              col = fills[k], border = NA)
    }
    if (0.5 %in% probs) draw_line(years, rows$value[rows$prob == 0.5], col = col, lwd = lwd + 0.5)
    if (!is.null(base)) draw_line(based$year, based$value, col = base_col, lwd = lwd)
  }
  legend_panel(pairs, fills, col, base, base_col, lwd, 0.5 %in% probs)
  invisible(table)
}

# Each probability p below one half with its 1 - p, the widest band first; 1 - 0.05 is not the
# double 0.95, so they are matched within a hair.
band_pairs <- function(probs) {
  low <- sort(unique(probs[probs < 0.5]))
  high <- vapply(low, function(p) {
    partner <- probs[abs(probs + p - 1) < 1e-9]
    if (length(partner) > 0) partner[1] else NA_real_
  }, numeric(1))
  data.frame(low = low, high = high)[!is.na(high), ]
}

legend_panel <- function(pairs, fills, col, base, base_col, lwd, median) {
  labels <- c(sprintf("%d %%", round(100 * (pairs$high - pairs$low))), if (median) "median",
              base)
  n_bands <- nrow(pairs)
  n_lines <- length(labels) - n_bands
  plot.new()
  legend("topleft", labels, fill = c(fills, rep(NA, n_lines)), border = NA,
         col = c(rep(NA, n_bands), if (median) col, if (!is.null(base)) base_col),
         lty = c(rep(NA, n_bands), rep(1, n_lines)), lwd = lwd, bty = "n", cex = 0.9)
}
