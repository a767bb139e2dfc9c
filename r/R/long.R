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
  if (is.null(names(runs)) || any(names(runs) == "")) {
    stop("every run needs a name: runs = list(base = ..., alternative = ...)", call. = FALSE)
  }
  long <- lapply(names(runs), function(name) {
    run <- runs[[name]]
    if (is.character(run)) run <- read_scantelk(run)
    long <- as.data.frame(run)
    data.frame(run = rep(name, nrow(long)), long)
  })
  do.call(rbind, long)
}
