# The summary is read front to back from its bytes. The dimension line fixes the length of every
# block, so each heading is checked where it must stand, never searched for (a title may equal a
# heading), and the file's exact size is known before any table is made. The compiled routines
# read the lines; the layout (which block, its heading, its labels) is here.

#' Read a scantelk summary file
#'
#' Reads the summary file that \command{scantelk} writes after a TELK model run
#' (\file{run.tmp}) and returns every table by name, labelled by age, fleet,
#' index and year.
#'
#' The file is read as the program writes it, and nothing else is taken for a
#' summary. Every line ends in CR LF; the title line may hold any byte but LF
#' (a CR of its own stays in the title; a NUL byte, which an R string cannot
#' hold, is left out). The dimension line, the title's length and the used
#' indices named in the index specification block fix the file's exact size,
#' which is checked before any table is made. Every number takes a field of 16 bytes, padded as the writer pads
#' it: an optional \code{-}, one digit, \code{.}, six digits, \code{E}, a sign
#' and three digits, or one of \code{NaN}, \code{Inf} and \code{-Inf}, which
#' read as \code{NaN}, \code{Inf} and \code{-Inf}.
#'
#' Each value is the double nearest to its field's decimal text, correctly
#' rounded (\code{as.numeric()} on the same text can differ in the last bit),
#' so that R and Python read the same numbers.
#'
#' A zero may stand for a value the model's report lacked: a missing report
#' section, a year without a survey row or a short report row are all written
#' as zeros. \command{scantelk --warn run.dat} names them, and
#' \command{scantelk --nan run.dat} writes them as \code{NaN} instead, which
#' reads as \code{NaN} and leaves a gap in plots.
#'
#' A file that is not a summary (a file of the wrong size for its dimensions,
#' a missing heading, a line of the wrong length, a field that is not a number
#' in the writer's form) stops with an error that names the file and the line,
#' and the field where it helps.
#'
#' @param path path of the summary file.
#' @return A list of class \code{"scantelk"}:
#'   \item{title}{the run title.}
#'   \item{years}{the model years, integer.}
#'   \item{dims}{named integer: \code{n_years}, \code{first_year},
#'     \code{n_ages}, \code{n_fleets}, \code{n_indices}.}
#'   \item{natural_mortality, maturity, catch_weight_at_age, ssb_weight_at_age,
#'     jan1_weight_at_age}{matrices \code{[age, year]}, ages \code{"1"} to
#'     \code{"A"}.}
#'   \item{catch_weight, discard_weight}{matrices \code{[fleet, year]}.}
#'   \item{catch_ess, discard_ess}{arrays \code{[fleet, kind, year]} of input and
#'     effective sample sizes, kind \code{c("input", "effective")}.}
#'   \item{index_spec}{a data frame, one row per index: \code{index},
#'     \code{value1} to \code{value6} and \code{use} as the file gives them, and
#'     \code{used}, \code{use != 0}: any non-zero flag, negative ones included,
#'     marks a used index.}
#'   \item{index_fit}{array \code{[index, kind, year]} for the used indices only,
#'     each labelled by its number among all indices; kind
#'     \code{c("observed", "predicted", "std_residual")}.}
#'   \item{index_ess}{array \code{[index, kind, year]} of the used indices' input
#'     and effective sample sizes.}
#'   \item{average_f}{matrix \code{[column, year]}, columns \code{"1"} to
#'     \code{"3"}.}
#'   \item{stock_numbers}{matrix \code{[age, year]}.}
#'   \item{ssb}{spawning stock biomass, a vector named by year.}
#'   \item{recruitment}{matrix \code{[kind, year]}, kind
#'     \code{c("observed", "predicted")}. Its years are the recruits' own: the
#'     model reports, on the row of year y, the recruits of year y + 1, so that
#'     value is labelled y + 1 and the years run one later than \code{years}.}
#'   \item{fits}{only when \command{scantelk --fits} wrote \file{run.fits.csv}
#'     beside the summary (the summary's name with the extension of its file name
#'     replaced by \file{.fits.csv}) and it is not older than the summary: the
#'     observed and predicted catch and proportions at age, as
#'     \code{\link{read_fits}} reads them. An older CSV, left by an earlier run,
#'     is left out with a warning.}
#'   \code{print} shows the title, the years, the dimensions and the names of the
#'   tables, and returns \code{x} invisibly.
#' @seealso
#'   \code{\link{as.data.frame.scantelk}} for the long form,
#'   \code{\link{plot.scantelk}}, \code{\link{scantelk_compare}}.
#' @examples
#' run <- read_scantelk(system.file("extdata", "tiny.tmp", package = "scantelk"))
#' run
#' run$stock_numbers
#' run$index_fit[, "observed", ]
#' @useDynLib scantelk, .registration = TRUE, .fixes = "C_"
#' @export
read_scantelk <- function(path) {
  summary <- open_summary(path)
  on.exit(.Call(C_close_summary, summary$file))
  head <- .Call(C_read_head, path, summary$file)
  title <- rawToChar(head$title[head$title != as.raw(0)])
  dims <- structure(head$dims, names = c("n_years", "first_year", "n_ages", "n_fleets",
                                         "n_indices"))
  move_on(summary, head$end, 2L)
  index_values <- check_layout(summary, dims)
  years <- dims[["first_year"]] + seq_len(dims[["n_years"]]) - 1L
  ages <- list(age = seq_len(dims[["n_ages"]]))
  fleets <- list(fleet = seq_len(dims[["n_fleets"]]))
  sample_sizes <- c("input", "effective")

  x <- list(title = title, years = years, dims = dims)
  x$natural_mortality <- read_table(summary, "natural_mortality", ages, years)
  x$maturity <- read_table(summary, "maturity", ages, years)
  x$catch_weight_at_age <- read_table(summary, "catch_weight_at_age", ages, years)
  x$ssb_weight_at_age <- read_table(summary, "ssb_weight_at_age", ages, years)
  x$jan1_weight_at_age <- read_table(summary, "jan1_weight_at_age", ages, years)
  x$catch_weight <- read_table(summary, "catch_weight", fleets, years)
  x$discard_weight <- read_table(summary, "discard_weight", fleets, years)
  x$catch_ess <- read_kinds(summary, "catch_ess", fleets, sample_sizes, years)
  x$discard_ess <- read_kinds(summary, "discard_ess", fleets, sample_sizes, years)
  x$index_spec <- index_spec_table(index_values)
  # Only used indices have lines; each keeps its number among all indices as its label.
  used <- list(index = x$index_spec$index[x$index_spec$used])
  x$index_fit <- read_kinds(summary, "index_fit", used,
                            c("observed", "predicted", "std_residual"), years)
  x$index_ess <- read_kinds(summary, "index_ess", used, sample_sizes, years)
  x$average_f <- read_table(summary, "average_f", list(column = 1:3), years)
  x$stock_numbers <- read_table(summary, "stock_numbers", ages, years)
  ssb <- read_table(summary, "ssb", list(row = 1L), years)
  # Not ssb[1, ], which drops the year's name of a run of one year.
  x$ssb <- structure(as.vector(ssb), names = colnames(ssb))
  # The model reports on year y's line the recruits of year y + 1.
  x$recruitment <- read_table(summary, "recruitment", list(kind = c("observed", "predicted")),
                              years + 1L)
  x$fits <- fits_beside(path)
  structure(x, class = "scantelk")
}

# The sixteen blocks in the order of the file, by their names in a run, and their headings;
# the blocks whose numbers are right-justified in their fields.
headings <- c(
  natural_mortality = "Natural Mortality",
  maturity = "Maturity",
  catch_weight_at_age = "Catch Weight at Age",
  ssb_weight_at_age = "Spawning Stock Weight at Age",
  jan1_weight_at_age = "Jan-1 Weight at Age",
  catch_weight = "Catch Weight by Fleet",
  discard_weight = "Discard Weight by Fleet",
  catch_ess = "Catch - Input & Effective Sample Size",
  discard_ess = "Discard - Input & Effective Sample Size",
  index_spec = "Index Specification",
  index_fit = "Index Observed, Predicted, Standardized Residual",
  index_ess = "Index Input & Effective Sample Size",
  average_f = "Average F",
  stock_numbers = "Stock Numbers",
  ssb = "Spawning Stock Biomass",
  recruitment = "Observed & Predicted Recruitment"
)
right_justified <- c("index_fit", "index_ess", "average_f", "ssb", "recruitment")

# Each block's number of lines of one field per year; the index specification has none.
year_lines <- function(dims, n_used) {
  a <- dims[["n_ages"]]
  f <- dims[["n_fleets"]]
  c(natural_mortality = a, maturity = a, catch_weight_at_age = a, ssb_weight_at_age = a,
    jan1_weight_at_age = a, catch_weight = f, discard_weight = f, catch_ess = 2 * f,
    discard_ess = 2 * f, index_spec = 0, index_fit = 3 * n_used, index_ess = 2 * n_used,
    average_f = 3, stock_numbers = a, ssb = 1, recruitment = 2)
}

# Bytes of a block: its heading line and `n_lines` lines of `n_years` fields.
block_bytes <- function(block, n_lines, n_years) {
  nchar(headings[[block]], type = "bytes") + 2 + n_lines * (16 * n_years + 2)
}

# Bytes of the blocks named; the index specification's lines not counted.
blocks_bytes <- function(blocks, dims, n_used) {
  sum(vapply(blocks, function(block) {
    block_bytes(block, year_lines(dims, n_used)[[block]], dims[["n_years"]])
  }, numeric(1)))
}

# Bytes of the index specification's label line and seven value lines when every value is one
# digit, as few as they can be.
fewest_index_spec_bytes <- function(n_indices) {
  sum(nchar(sprintf("INDEX-%02d  ", seq_len(n_indices)))) + 2 + 7 * (10 * n_indices + 2)
}

# The open file and where the next line starts: its byte offset and number. `places` keeps
# where each block's lines start once the layout is checked.
open_summary <- function(path) {
  summary <- new.env(parent = emptyenv())
  summary$path <- path
  summary$file <- .Call(C_open_summary, path)
  summary$size <- .Call(C_summary_size, summary$file)
  summary$at <- 0
  summary$line <- 1L
  summary$places <- list()
  summary
}

move_on <- function(summary, at, n_lines) {
  summary$at <- at
  summary$line <- summary$line + as.integer(n_lines)
}

# The file's size, every heading and every line end are checked before any number is read or
# any table made: first against the smallest summary of these dimensions, then, once the
# index specification block tells which indices have lines, against the exact size. Returns
# that block's values, a matrix of one row per index.
check_layout <- function(summary, dims) {
  before <- names(headings)[1:9]
  after <- names(headings)[11:16]
  n_indices <- dims[["n_indices"]]
  check_size(summary, summary$at + blocks_bytes(c(before, "index_spec", after), dims, 0) +
               fewest_index_spec_bytes(n_indices), at_least = TRUE)
  for (block in before) check_block(summary, block, dims, 0)
  index_spec <- .Call(C_read_index_spec, summary$path, summary$file, summary$at, summary$line,
                      headings[["index_spec"]], n_indices)
  move_on(summary, index_spec$end, 9L)
  n_used <- sum(index_spec$values[, 7] != 0L)
  check_size(summary, summary$at + blocks_bytes(after, dims, n_used), at_least = FALSE)
  for (block in after) check_block(summary, block, dims, n_used)
  index_spec$values
}

check_size <- function(summary, size, at_least) {
  found <- summary$size
  if (found < size || (found != size && !at_least)) {
    stop(sprintf("%s: the file is %.0f bytes; a summary of these dimensions is %s%.0f bytes",
                 summary$path, found, if (at_least) "at least " else "", size), call. = FALSE)
  }
}

# The block's heading and the CR LF after each line of fields; notes where its lines start.
check_block <- function(summary, block, dims, n_used) {
  n_lines <- year_lines(dims, n_used)[[block]]
  .Call(C_check_block, summary$path, summary$file, summary$at, summary$line,
        headings[[block]], n_lines, dims[["n_years"]])
  summary$places[[block]] <- list(at = summary$at + block_bytes(block, 0, 0),
                                  line = summary$line + 1L)
  move_on(summary, summary$at + block_bytes(block, n_lines, dims[["n_years"]]), 1 + n_lines)
}

index_spec_table <- function(values) {
  colnames(values) <- c(paste0("value", 1:6), "use")
  table <- data.frame(index = seq_len(nrow(values)), values)
  table$used <- table$use != 0L
  table
}

# A block of one line per label: a matrix [label, year].
read_table <- function(summary, block, labels, years) {
  read_block(summary, block, c(labels, list(year = years)))
}

# A block of one line per label and kind, kinds changing fastest: an array [label, kind, year].
read_kinds <- function(summary, block, labels, kinds, years) {
  read_block(summary, block, c(labels, list(kind = kinds, year = years)))
}

read_block <- function(summary, block, dimnames) {
  shape <- unname(lengths(dimnames))
  place <- summary$places[[block]]
  values <- .Call(C_read_fields, summary$path, summary$file, place$at, place$line, shape,
                  block %in% right_justified)
  # The vector is the routine's own: dim<- and dimnames<- label it without a copy.
  dim(values) <- shape
  dimnames(values) <- dimnames
  values
}

#' @rdname read_scantelk
#' @param x an object of class \code{"scantelk"}.
#' @param ... not used.
#' @export
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
