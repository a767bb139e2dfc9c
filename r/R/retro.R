# Retrospective analysis: each peel's estimates in its own last year against the base run's.

retro_quantities <- c("ssb", "f", "recruitment")

scantelk_retro <- function(runs, f_column = 1) {
  retro_analysis(read_runs(runs, unique = TRUE), f_column)$table
}

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
    open_panel(unlist(years), unlist(series), main, titles[[quantity]][2], ...)
    # The base over the peels, which follow it until they part from it near their ends; the
    # peels' last points over everything.
    for (k in c(seq_along(names)[-1], 1)) {
      draw_line(years[[k]], series[[k]], col = col[k], lwd = if (k == 1) lwd + 0.5 else lwd)
    }
    for (k in seq_along(names)[-1]) {
      last <- length(years[[k]])
      points(years[[k]][last], series[[k]][last], col = col[k], pch = 16, cex = 1.5)
    }
    if (quantity == "ssb") {
      legend("bottomleft", names, col = col, lty = 1, lwd = lwd, bty = "n", cex = 0.8)
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
