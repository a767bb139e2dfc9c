as.data.frame.scantelk <- function(x, row.names = NULL, optional = FALSE, ...) {
  blocks <- setdiff(names(x), c("title", "years", "dims", "index_spec"))
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
