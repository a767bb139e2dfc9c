# The symbol size (cex) of the largest bubble of a plot.
largest_bubble <- 2.5

#' Plot the fits of a run: catch, composition residuals and mean age
#'
#' Draws one row of three panels per fleet on the current device. Left:
#' observed catch (points) against predicted (line). Middle: the Pearson
#' residuals of the proportions at age (\code{\link{composition_residuals}}) as
#' bubbles by year and age, their area proportional to the residual's size,
#' filled where observed is above predicted and open where below, with a key of
#' sizes. Right: observed (points) against predicted (line) mean age
#' (\code{\link{mean_age}}). A fleet with non-zero discards gets a second row
#' for them. The legends of observed and predicted stand in the top right
#' corner of their panel, above every value, and the key of sizes beside the
#' bubbles, so that no legend covers data.
#'
#' @param run a run from \code{\link{read_scantelk}} with fits (converted by
#'   \command{scantelk --fits}), or the path of its summary. A run without fits
#'   stops with an error that says how to get them.
#' @param col two colours: observed points, and predicted lines and bubbles.
#' @param ... further graphical parameters for each panel, such as
#'   \code{las} or \code{cex.axis}.
#' @return A list, invisibly: \code{fits}, the run's fits;
#'   \code{residuals} and \code{mean_age}, lists of the tables of
#'   \code{\link{composition_residuals}} and \code{\link{mean_age}} by table
#'   (\code{catch_proportions}, \code{discard_proportions}).
#' @seealso \code{\link{read_fits}}.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' plot_fits(run)
#' @export
plot_fits <- function(run, col = scantelk_colours[1:2], ...) {
  if (is.character(run)) run <- read_scantelk(run)
  by_table <- function(f) {
    structure(lapply(fits_proportions, f, run = run), names = fits_proportions)
  }
  residuals <- by_table(function(table, run) composition_residuals(run, table))
  ages <- by_table(function(table, run) mean_age(run, table))
  fits <- run$fits
  kinds <- list(list(totals = "catch", table = "catch_proportions", word = "Catch"),
                list(totals = "discards", table = "discard_proportions", word = "Discards"))
  rows <- list()
  for (fleet in sort(unique(fits$fleet))) {
    for (kind in kinds) {
      if (kind$totals == "catch" || has_discards(fits, fleet)) {
        rows[[length(rows) + 1]] <- c(kind, fleet = fleet)
      }
    }
  }
  largest <- largest_residual(unlist(lapply(residuals, `[[`, "residual")))
  old <- par(mfrow = c(max(length(rows), 1), 3), mar = c(3, 4, 2, 1), mgp = c(2, 0.7, 0))
  on.exit(par(old))
  for (row in rows) {
    totals <- fits[fits$table == row$totals & fits$fleet == row$fleet, ]
    observed_and_predicted(totals, paste0(row$word, ", fleet ", row$fleet), row$word, col,
                           TRUE, ...)
    of_fleet <- residuals[[row$table]]
    bubbles(of_fleet[of_fleet$fleet == row$fleet, ], largest, col[2],
            paste0(row$word, " at age, Pearson residuals, fleet ", row$fleet), ...)
    age <- ages[[row$table]]
    observed_and_predicted(age[age$fleet == row$fleet, ],
                           paste0(row$word, " mean age, fleet ", row$fleet), "Mean age", col,
                           FALSE, ...)
  }
  invisible(list(fits = fits, residuals = residuals, mean_age = ages))
}

has_discards <- function(fits, fleet) {
  values <- unlist(fits[fits$table == "discards" & fits$fleet == fleet,
                        c("observed", "predicted")])
  any(!is.na(values) & values != 0)
}

largest_residual <- function(residuals) {
  sizes <- abs(residuals[is.finite(residuals)])
  if (length(sizes) == 0) 0 else max(sizes)
}

# Observed points and a predicted line over the years, the legend above them; the axis spans
# zero if `from_zero`.
observed_and_predicted <- function(table, main, ylab, col, from_zero, ...) {
  key <- list(legend = c("observed", "predicted"), col = col, pch = c(16, NA), lty = c(NA, 1))
  open_panel(table$year, c(table$observed, table$predicted), main, ylab, key = key,
             zero = from_zero, ...)
  points(table$year, table$observed, col = col[1], pch = 16)
  draw_line(table$year, table$predicted, col = col[2], lwd = 1.5)
}

# Bubbles of area proportional to |residual|: filled above zero, open below, with a key of
# sizes in the right margin.
bubbles <- function(residuals, largest, col, main, ...) {
  old <- par(mar = c(3, 4, 2, 6))
  on.exit(par(old))
  fits_panel(residuals$year, c(0.5, max(c(residuals$age, 1), na.rm = TRUE) + 0.5), main, "Age",
             ...)
  shown <- residuals[is.finite(residuals$residual), ]
  size <- function(value) if (largest > 0) largest_bubble * sqrt(abs(value) / largest) else 0
  positive <- shown$residual > 0
  points(shown$year, shown$age, pch = ifelse(positive, 21, 1), col = col,
         bg = ifelse(positive, col, NA), cex = size(shown$residual))
  key <- key_sizes(largest)
  if (length(key) > 0) {
    legend("topleft", inset = c(1.02, 0), c(paste0("+", key), paste0("-", key)), xpd = TRUE,
           pch = rep(c(21, 1), each = length(key)), col = col,
           pt.bg = rep(c(col, NA), each = length(key)), pt.cex = size(c(key, key)),
           title = "residual", bty = "n", cex = 0.8, y.intersp = 1.4)
  }
}

# An empty panel over the years whose y axis spans the finite `values`.
fits_panel <- function(years, values, main, ylab, ...) {
  plot(year_limits(years), finite_range(values), type = "n", main = main, xlab = "Year",
       ylab = ylab, xaxt = "n", ...)
  axis(1, at = whole_years(par("usr")[1:2]))
}

# Two round sizes at most as large as the largest residual: 1, 2 or 5 times a power of ten,
# and half of it.
key_sizes <- function(largest) {
  if (!is.finite(largest) || largest <= 0) return(numeric())
  steps <- c(1, 2, 5) * 10^floor(log10(largest))
  top <- max(steps[steps <= largest])
  c(top / 2, top)
}
