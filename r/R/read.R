# The summary is read front to back. Every block's length follows from the dimension line, so
# each heading is checked where it must stand, never searched for: a title may equal a heading.

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
